#include <QDir>
#include <QFileInfo>
#include <QImage>

#include <cstdio>

// Makes the sizes of the program's icon that the desktop's icon theme wants
// from the one image we draw: enlarged by whole pixels first, which keeps its
// edges sharp, then smoothed down to the size.
//   corvane_icon_sizes SOURCE.png THEME-FOLDER SIZE...
// writes THEME-FOLDER/<size>x<size>/apps/<name of SOURCE>.
int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fputs("usage: corvane_icon_sizes SOURCE.png THEME-FOLDER SIZE...\n", stderr);
        return 2;
    }
    const QString sourceFile = QString::fromLocal8Bit(argv[1]);
    const QImage source = QImage(sourceFile).convertToFormat(QImage::Format_ARGB32);
    if (source.isNull() || source.width() != source.height()) {
        std::fprintf(stderr, "corvane_icon_sizes: %s is not a square image\n", argv[1]);
        return 1;
    }
    for (int i = 3; i < argc; ++i) {
        const int size = QString::fromLocal8Bit(argv[i]).toInt();
        if (size <= 0) {
            std::fprintf(stderr, "corvane_icon_sizes: %s is not a size\n", argv[i]);
            return 2;
        }
        const int factor = (size + source.width() - 1) / source.width();
        const QImage enlarged = source.scaled(source.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        const QImage icon = enlarged.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(size);
        const QString file = folder + u'/' + QFileInfo(sourceFile).fileName();
        if (!QDir().mkpath(folder) || !icon.save(file, "PNG")) {
            std::fprintf(stderr, "corvane_icon_sizes: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
