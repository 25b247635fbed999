// The control icons are SVG files: Qt's SVG plugins must be there at run time, every icon the
// windows name (in the code, the forms and the stylesheet) must be in the resources, and an icon
// drawn for a 200 % screen must be drawn anew at twice the pixels, not blown up from 100 %.

#include "TestRegistry.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QIcon>
#include <QImageReader>
#include <QPixmap>
#include <QRegularExpression>
#include <QTest>

namespace {

// Pixels neither fully covered nor fully clear: the soft edge of the drawing.
int SoftPixels(const QImage& image)
{
    const QImage img = image.convertToFormat(QImage::Format_ARGB32);
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const int a = qAlpha(img.pixel(x, y));
            n += (a > 16 && a < 240) ? 1 : 0;
        }
    return n;
}

} // namespace

class IconsTest : public QObject
{
    Q_OBJECT

private slots:
    void everyIconTheWindowsNameIsInTheResources()
    {
        // Icon files are named in the code and forms as ":/icons/NAME.svg" or, for the skin
        // attributes, as a bare "NAME.svg"; the stylesheet names them in url(:/icons/...).
        static const QRegularExpression named(
            QStringLiteral("(?:^|[\"'>(/])([a-z][a-z0-9_]*\\.(?:svg|png))\\b"));
        QStringList missing;
        int seen = 0;
        auto scan = [&](const QString& where, const QString& text) {
            for (auto it = named.globalMatch(text); it.hasNext();) {
                const QString name = it.next().captured(1);
                ++seen;
                if (!QFile::exists(QStringLiteral(":/icons/") + name))
                    missing << where + QStringLiteral(": ") + name;
            }
        };
        scan(QStringLiteral("stylesheet"), qApp->styleSheet());
        QDirIterator files(QStringLiteral(VX_SOURCE_DIR "/ui"), {"*.cpp", "*.h", "*.ui"}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile f(files.next());
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(f.readAll());
            if (text.contains(QStringLiteral("icons/")) || text.contains(QStringLiteral("image")))
                scan(QDir(QStringLiteral(VX_SOURCE_DIR)).relativeFilePath(f.fileName()), text);
        }
        QVERIFY2(seen > 20, "no icon names found in the windows' sources");
        QVERIFY2(missing.isEmpty(),
                 qPrintable(QStringLiteral("not in the resources: ") + missing.join(", ")));
    }

    void svgIconsAreDrawnSharpAtDoubleScale()
    {
        QVERIFY2(QImageReader::supportedImageFormats().contains("svg"),
                 "Qt's SVG image plugin is missing (Debian: libqt6svg6)");
        const QStringList icons = QDir(QStringLiteral(":/icons")).entryList({QStringLiteral("*.svg")});
        QVERIFY(icons.size() >= 19);
        for (const QString& name : icons) {
            const QString path = QStringLiteral(":/icons/") + name;
            QImageReader reader(path);
            const QSize size = reader.size();
            QVERIFY2(size.isValid() && !reader.read().isNull(),
                     qPrintable(path + QStringLiteral(" does not load")));
            const QIcon icon(path);
            const QPixmap once = icon.pixmap(size, 1.0);
            const QPixmap twice = icon.pixmap(size, 2.0);
            QCOMPARE(twice.size(), size * 2);
            QVERIFY2(SoftPixels(once.toImage()) > 0, qPrintable(path + QStringLiteral(" draws nothing")));
            // Drawn anew, the edges stay about one pixel wide; blown up, they double.
            const QImage blownUp =
                once.toImage().scaled(size * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            QVERIFY2(SoftPixels(twice.toImage()) < SoftPixels(blownUp),
                     qPrintable(path + QStringLiteral(" is not drawn anew at 200 %")));
        }
    }
};

VX_REGISTER_QTEST(IconsTest);
#include "IconsTest.moc"
