#include "services/xml/Gb18030.h"

#include <QRegularExpression>
#include <QString>

#if __has_include(<iconv.h>)
#include <iconv.h>
#define CORVANE_HAVE_ICONV 1
#else
#define CORVANE_HAVE_ICONV 0
#endif

#include <cstring>

QByteArray ForcedEncoding(const QByteArray& content)
{
    static const QRegularExpression decl(
        QStringLiteral("^\\s*<\\?xml[^>]*encoding\\s*=\\s*[\"']([^\"']+)[\"']"));
    const auto match = decl.match(QString::fromLatin1(content.left(256)));
    if (!match.hasMatch())
        return {};
    const QString declared = match.captured(1).toLower();
    if (declared == QLatin1String("gb2312") || declared == QLatin1String("gbk"))
        return QByteArrayLiteral("GB18030");
    return {};
}

#if CORVANE_HAVE_ICONV
// Report files are ASCII markup with a few Chinese values. Passing only the runs of multi-byte
// characters through iconv costs a fraction of converting every byte.
bool DecodeGb18030(const QByteArray& in, QByteArray& out, qsizetype& undecodable)
{
    struct Converter
    {
        iconv_t handle = iconv_open("UTF-8", "GB18030");
        ~Converter()
        {
            if (handle != iconv_t(-1))
                iconv_close(handle);
        }
    };
    thread_local Converter converter;
    if (converter.handle == iconv_t(-1))
        return false;
    out.resize(in.size() * 2); // a character of 2 or 4 bytes takes at most 3 or 4 in UTF-8
    char* target = out.data();
    const char* p = in.constData();
    const char* const end = p + in.size();
    while (p < end)
    {
        const char* ascii = p;
        while (p < end && uchar(*p) < 0x80)
            ++p;
        std::memcpy(target, ascii, std::size_t(p - ascii));
        target += p - ascii;
        if (p == end)
            break;
        const char* run = p;
        while (p < end && uchar(*p) >= 0x80)
            p += (p + 1 < end && uchar(p[1]) >= 0x30 && uchar(p[1]) <= 0x39) ? 4 : 2; // 4 bytes: digit second
        undecodable = run - in.constData();
        if (p > end)
            return false;
        char* source = const_cast<char*>(run);
        std::size_t sourceLeft = std::size_t(p - run);
        std::size_t targetLeft = std::size_t(out.data() + out.size() - target);
        iconv(converter.handle, nullptr, nullptr, nullptr, nullptr);
        if (iconv(converter.handle, &source, &sourceLeft, &target, &targetLeft) == std::size_t(-1) ||
            sourceLeft != 0)
        {
            undecodable = source - in.constData();
            return false;
        }
    }
    out.resize(target - out.data());
    return true;
}
#else
// Without iconv the parser decodes the file itself.
bool DecodeGb18030(const QByteArray&, QByteArray&, qsizetype&)
{
    return false;
}
#endif
