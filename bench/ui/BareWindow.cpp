// The reference of the start-up figure: a bare QApplication showing an empty window. Once it is
// shown it appends "shown" to the file named on the command line (as VexoraV2 logs its login
// window) and keeps running until the measuring program ends it.

#include <QApplication>
#include <QFile>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QWidget w;
    w.resize(400, 300);
    w.show();
    QFile marker(QString::fromLocal8Bit(argv[1]));
    if (!marker.open(QIODevice::Append))
        return 1;
    marker.write("shown\n");
    marker.close();
    return app.exec();
}
