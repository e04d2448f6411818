// Finds the icon a desktop entry names the way desktops do, through the
// freedesktop icon theme, in an installed tree, and draws it at each size
// the theme holds it in, so that one can see what a menu would show.
// usage: iconlookup DESKTOP_FILE ICONS_DIR... OUTPUT_PNG
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: iconlookup DESKTOP_FILE ICONS_DIR... OUTPUT_PNG\n");
        return 2;
    }

    QFile entry(QString::fromLocal8Bit(argv[1]));
    if (!entry.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "iconlookup: cannot read %s\n", argv[1]);
        return 1;
    }
    QString name;
    while (!entry.atEnd()) {
        const QString line = QString::fromUtf8(entry.readLine()).trimmed();
        if (line.startsWith(QLatin1String("Icon=")))
            name = line.mid(5);
    }
    if (name.isEmpty()) {
        std::fprintf(stderr, "iconlookup: the entry names no icon\n");
        return 1;
    }

    QStringList iconDirs;
    for (int i = 2; i < argc - 1; ++i)
        iconDirs << QString::fromLocal8Bit(argv[i]);
    QIcon::setThemeSearchPaths(iconDirs);
    QIcon::setThemeName(QStringLiteral("hicolor"));
    const QIcon icon = QIcon::fromTheme(name);
    const QList<QSize> sizes = icon.availableSizes();
    std::printf("icon %s: %d sizes\n", qPrintable(name), int(sizes.size()));
    if (icon.isNull() || sizes.isEmpty()) {
        std::fprintf(stderr, "iconlookup: the theme has no icon %s\n", qPrintable(name));
        return 1;
    }

    int width = 8;
    for (const QSize &size : sizes)
        width += size.width() + 8;
    QPixmap sheet(width, 256 + 16);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    int x = 8;
    for (const QSize &size : sizes) {
        std::printf("  %dx%d\n", size.width(), size.height());
        painter.drawPixmap(x, 8, icon.pixmap(size));
        x += size.width() + 8;
    }
    painter.end();
    return sheet.save(QString::fromLocal8Bit(argv[argc - 1])) ? 0 : 1;
}
