#pragma once

#include <QByteArray>

// "GB18030" for a file whose declaration names GB2312 or GBK, "" otherwise: files declared GB2312
// carry GBK-only characters in names, and GB18030 reads both.
QByteArray ForcedEncoding(const QByteArray& content);

// Decodes GB18030 bytes into UTF-8 in out. False for a sequence that is not GB18030, with
// undecodable at its offset: the caller then lets the parser meet it. Always false where iconv is missing.
bool DecodeGb18030(const QByteArray& in, QByteArray& out, qsizetype& undecodable);
