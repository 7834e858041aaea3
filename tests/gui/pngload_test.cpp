#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "gui/pngload.h"

namespace {

struct Format {
    QImage::Format format;
    const char* name;
    unsigned int depth;
    unsigned int alpha;
};

// Colours whose 16-bit forms are exact multiples of 257, so scaling to 8 bits is exact.
const QColor topLeft(255, 0, 0), topRight(0, 0, 255), bottomLeft(10, 200, 30),
    bottomRight(255, 255, 255);

QImage sample(QImage::Format format) {
    QImage image(2, 2, QImage::Format_RGB888);
    image.setPixelColor(0, 0, topLeft);
    image.setPixelColor(1, 0, topRight);
    image.setPixelColor(0, 1, bottomLeft);
    image.setPixelColor(1, 1, bottomRight);
    return image.convertToFormat(format);
}

QColor decodedAt(const PngImage& image, int x, int y) {
    const size_t at = (static_cast<size_t>(y) * image.info.Width + static_cast<size_t>(x)) * 3;
    return QColor(image.rgb[at], image.rgb[at + 1], image.rgb[at + 2]);
}

TEST(PngDecode, EveryColourTypeBecomesEightBitRgbTopRowFirst) {
    QTemporaryDir dir;
    const Format formats[] = {
        {QImage::Format_RGB888, "rgb8", 8, 0},      {QImage::Format_ARGB32, "rgba8", 8, 1},
        {QImage::Format_Grayscale8, "grey8", 8, 0}, {QImage::Format_Grayscale16, "grey16", 16, 0},
        {QImage::Format_RGBA64, "rgba16", 16, 1},   {QImage::Format_Indexed8, "palette", 0, 0},
    };
    for (const Format& f : formats) {
        const QImage source = sample(f.format);
        const QString file = dir.filePath(QString::fromLatin1(f.name) + ".png");
        ASSERT_TRUE(source.save(file)) << f.name;
        const QImage reread(file);
        PngImage image;
        std::string error;
        ASSERT_TRUE(pngDecode(file.toStdString(), image, error)) << f.name << ": " << error;
        EXPECT_EQ(image.info.Width, 2u);
        EXPECT_EQ(image.info.Height, 2u);
        if (f.depth) {
            EXPECT_EQ(image.info.Depth, f.depth) << f.name;
        }
        EXPECT_EQ(image.info.Alpha, f.alpha) << f.name;
        ASSERT_EQ(image.rgb.size(), 12u);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x) {
                const QColor want = reread.pixelColor(x, y);
                const QColor got = decodedAt(image, x, y);
                EXPECT_EQ(got.rgb(), QColor(want.red(), want.green(), want.blue()).rgb())
                    << f.name << " at " << x << "," << y;
            }
    }
}

TEST(PngDecode, RefusalsLeaveTheImageUntouched) {
    QTemporaryDir dir;
    const QString big = dir.filePath("big.png");
    ASSERT_TRUE(sample(QImage::Format_RGB888).scaled(64, 32).save(big));
    const QString text = dir.filePath("text.png");
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("this is not a PNG file at all");
    }
    PngImage image;
    image.info = {7, 7, 8, 0};
    image.rgb.assign(7 * 7 * 3, 42);
    struct Case {
        QString file;
        unsigned int maxSide;
    };
    for (const Case& c :
         {Case{dir.filePath("missing.png"), 16384}, Case{text, 16384}, Case{big, 32}}) {
        std::string error;
        EXPECT_FALSE(pngDecode(c.file.toStdString(), image, error, c.maxSide))
            << c.file.toStdString();
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(image.info.Width, 7u);
        EXPECT_EQ(image.rgb.size(), 7u * 7u * 3u);
        EXPECT_EQ(image.rgb[0], 42);
    }
    std::string error;
    EXPECT_TRUE(pngDecode(big.toStdString(), image, error, 64)) << "a side equal to the limit";
}

} // namespace
