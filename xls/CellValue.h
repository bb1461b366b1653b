#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The plain decimal text of a number: "." as decimal point, no separators, the fewest digits
// that read back as the same double; exponent form only below 1e-6 and from 1e21 on.
QString FormatCellNumber(double value);

// The number that an RK value (a compressed number of a cell record) stands for.
double DecodeRk(quint32 rk);

// The value as text of a cell record kept as it came from the template: LABEL, RSTRING, BOOLERR,
// or a FORMULA with the records that belong to it (the cached result of the formula). raw holds
// whole records, headers included.
QString RawCellText(const QByteArray& raw);
