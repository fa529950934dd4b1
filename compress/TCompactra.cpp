#include "TCompactra.h"

// Placeholder until the coder lands: passes the script through unchanged.
QByteArray TCompactra::Compress(const QByteArray &text, const QByteArray &, bool script)
{
    if (script)
        return "//\r\n" + text + "\r\n//";
    return "<html><body><script>\r\n//\r\ndocument.write('')\r\n//\r\n</script></body></html>";
}

QByteArray TCompactra::CompressJS(const QByteArray &text, const QByteArray &prefix)
{
    return Compress(text, prefix, true);
}

QByteArray TCompactra::CompressHtml(const QByteArray &text, const QByteArray &prefix)
{
    return Compress(text, prefix, false);
}
