// The compiled-in pictures come in pairs: "name.png" for ordinary screens and
// "name@2x.png" for dense ones. The twin must be the same drawing at twice the
// size, or a dense screen would show misplaced sprite pieces or other art.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QGuiApplication>
#include <QImage>

namespace {

QGuiApplication* app() {
    static QGuiApplication* instance = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "skin_test";
        static char* argv[] = {name, nullptr};
        return new QGuiApplication(argc, argv);
    }();
    return instance;
}

QStringList ordinaryPictures() {
    QStringList names;
    QDirIterator it(QStringLiteral(":/images"), {QStringLiteral("*.png")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!path.contains(QLatin1String("@2x")))
            names.append(path);
    }
    return names;
}

// Mean difference per channel (0..255) of two pictures of one size.
double meanDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const QRgb* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const QRgb* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            sum +=
                std::abs(qRed(p[col]) - qRed(q[col])) + std::abs(qGreen(p[col]) - qGreen(q[col])) +
                std::abs(qBlue(p[col]) - qBlue(q[col])) + std::abs(qAlpha(p[col]) - qAlpha(q[col]));
    }
    return sum / (4.0 * x.width() * x.height());
}

} // namespace

TEST(DensePictures, EveryPictureHasATwinOfTheSameDrawingAtTwiceTheSize) {
    app();
    const QStringList names = ordinaryPictures();
    ASSERT_GT(names.size(), 20);
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QImage plain(name);
        QString twinName = name;
        twinName.insert(twinName.lastIndexOf(QLatin1Char('.')), QLatin1String("@2x"));
        const QImage twin(twinName);
        ASSERT_FALSE(plain.isNull());
        ASSERT_FALSE(twin.isNull()) << "no " << twinName.toStdString();
        EXPECT_EQ(twin.size(), plain.size() * 2);
        // Shrunk back, the twin shows what the ordinary picture shows: small
        // differences come from sharper edges, large ones from another layout.
        const QImage shrunk =
            twin.scaled(plain.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        // Tiny pictures are mostly edge, where the sharper twin differs most.
        const double bound = plain.width() * plain.height() < 1024 ? 10.0 : 4.0;
        EXPECT_LT(meanDifference(plain, shrunk), bound);
    }
}
