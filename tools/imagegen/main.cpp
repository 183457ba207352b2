// Draws every picture the program compiles in and writes the resource list
// "myimage.qrc" beside them:
//
//   kestrova-imagegen --svg <glyph folder> --fonts <Lato folder> --out <folder>
//
// Runs at build time on the offscreen platform; exits non-zero when a glyph,
// a font or a file write fails, so a broken picture never reaches the program.
#include "generator.h"
#include "gifwriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QSaveFile>

#include <cstdio>

namespace {

struct Options {
    QString svgDir;
    QString fontDir;
    QString outDir;
};

bool parseOptions(const QStringList& args, Options& o) {
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--svg"))
            o.svgDir = args[i + 1];
        else if (args[i] == QLatin1String("--fonts"))
            o.fontDir = args[i + 1];
        else if (args[i] == QLatin1String("--out"))
            o.outDir = args[i + 1];
        else
            return false;
    }
    return !o.svgDir.isEmpty() && !o.fontDir.isEmpty() && !o.outDir.isEmpty();
}

bool writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        std::fprintf(stderr, "imagegen: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool writePng(const QString& path, const QImage& image) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "imagegen: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool loadFonts(const QString& dir) {
    for (const char* name : {"Lato-Regular.ttf", "Lato-Bold.ttf"}) {
        const QString path = dir + QLatin1Char('/') + QLatin1String(name);
        if (QFontDatabase::addApplicationFont(path) < 0) {
            std::fprintf(stderr, "imagegen: cannot load font %s\n", qPrintable(path));
            return false;
        }
    }
    return true;
}

// "check/checked.png" at scale 2 is "check/checked@2x.png", the name Qt and
// the program look for on dense screens.
QString scaledName(const QString& name, int s) {
    if (s == 1)
        return name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return name.left(dot) + QStringLiteral("@%1x").arg(s) + name.mid(dot);
}

QByteArray resourceList(const QStringList& names) {
    QByteArray qrc("<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/images\">\n");
    for (const QString& name : names)
        qrc += "  <file>" + name.toUtf8() + "</file>\n";
    qrc += "</qresource>\n</RCC>\n";
    return qrc;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    Options options;
    if (!parseOptions(app.arguments(), options)) {
        std::fprintf(stderr, "usage: kestrova-imagegen --svg DIR --fonts DIR --out DIR\n");
        return 2;
    }
    if (!loadFonts(options.fontDir))
        return 1;

    using namespace imagegen;
    const Glyphs glyphs(options.svgDir);
    QStringList names;
    for (int s : {1, 2}) {
        setScale(s);
        QList<Picture> pictures = drawSheets(glyphs);
        pictures += drawPictures(glyphs);
        pictures += drawChecks();
        if (!glyphs.allFound()) {
            std::fprintf(stderr, "imagegen: unreadable glyphs: %s\n",
                         qPrintable(glyphs.missing().join(QLatin1String(", "))));
            return 1;
        }
        for (const Picture& picture : pictures) {
            const QString name = scaledName(picture.name, s);
            if (!writePng(options.outDir + QLatin1Char('/') + name, picture.image))
                return 1;
            names.append(name);
        }
    }
    for (int s : {1, 2}) {
        setScale(s);
        const QString name = scaledName(QStringLiteral("loadimg.gif"), s);
        const QByteArray gif = encodeGif(gifFromImages(spinnerFrames(), qRgb(255, 255, 255), 8));
        if (gif.isEmpty() || !writeFile(options.outDir + QLatin1Char('/') + name, gif))
            return 1;
        names.append(name);
    }
    setScale(1);
    names.sort();
    return writeFile(options.outDir + QStringLiteral("/myimage.qrc"), resourceList(names)) ? 0 : 1;
}
