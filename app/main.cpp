#include <QApplication>
#include <QLabel>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pictavia"));
    QLabel window(QObject::tr("Pictavia"));
    window.setWindowTitle(QStringLiteral("Pictavia"));
    window.setAlignment(Qt::AlignCenter);
    window.resize(712, 602);
    window.show();
    return app.exec();
}
