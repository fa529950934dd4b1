#include <cstdio>

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

// Usage: bench-create-floor IMAGE OUT.jpg [WxH [--half]]
// Reads IMAGE once, prints its MD5, decodes it whole (with --half at half
// size, which the JPEG decoder does while decoding) and writes the top-left
// W x H (default 1920 x 1440) of it as one JPEG at quality 85.
int main(int argc, char *argv[])
{
    // Started as the command line starts, so that both pay the same.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fputs("usage: bench-create-floor IMAGE OUT.jpg [WxH]\n", stderr);
        return 2;
    }
    int w = 1920, h = 1440;
    if (argc > 3 && std::sscanf(argv[3], "%dx%d", &w, &h) != 2)
        return 2;
    const bool half = argc > 4 && qstrcmp(argv[4], "--half") == 0;

    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    QByteArray bytes = file.readAll();
    const QByteArray digest = QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();

    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (half) {
        // Rounded down, so that the decoder picks exactly 1/2.
        const QSize full = reader.size();
        reader.setScaledSize(QSize(full.width() / 2, full.height() / 2));
    }
    QImage image;
    if (!reader.read(&image))
        return 1;
    const QImage area = image.copy(0, 0, w, h);

    QImageWriter writer(QString::fromLocal8Bit(argv[2]), "jpeg");
    writer.setQuality(85);
    if (!writer.write(area))
        return 1;
    std::printf("%s\n", digest.constData());
    return 0;
}
