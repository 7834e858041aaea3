#include "glviewtesting.h"

#include <QDir>
#include <QFile>
#include <QOpenGLContext>
#include <QOpenGLWidget>
#include <QTest>
#include <cstdlib>

QString shippedTexturePath() {
    return QStringLiteral(MONDREL_SOURCE_DIR "/data/Texture.png");
}

TextureDirectory::TextureDirectory(bool withImage) : previous_(QDir::currentPath()) {
    if (withImage)
        QFile::copy(shippedTexturePath(), dir_.filePath(QStringLiteral("Texture.png")));
    QDir::setCurrent(dir_.path());
}

TextureDirectory::~TextureDirectory() {
    QDir::setCurrent(previous_);
}

bool showAndWaitForGL(QOpenGLWidget& widget, int width, int height) {
    widget.resize(width, height);
    widget.show();
    if (!QTest::qWaitForWindowExposed(&widget))
        return false;
    // Grabbing renders a frame, which runs the GL initialisation when it has not run yet.
    widget.grabFramebuffer();
    return widget.isValid() && widget.context() && widget.context()->isValid();
}

void drag(QWidget& widget, const std::vector<QPoint>& points, Qt::MouseButton button) {
    if (points.empty())
        return;
    QTest::mousePress(&widget, button, Qt::NoModifier, points.front());
    for (size_t i = 1; i < points.size(); ++i)
        QTest::mouseMove(&widget, points[i]);
    QTest::mouseRelease(&widget, button, Qt::NoModifier, points.back());
}

std::vector<QPoint> straightPath(QPoint from, QPoint to, int steps) {
    std::vector<QPoint> path;
    for (int i = 0; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        path.emplace_back(static_cast<int>(from.x() + (to.x() - from.x()) * t),
                          static_cast<int>(from.y() + (to.y() - from.y()) * t));
    }
    return path;
}

bool anyPixelNear(const QImage& image, int x, int y, int radius,
                  const std::function<bool(QColor)>& test) {
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx)
            if (image.valid(x + dx, y + dy) && test(image.pixelColor(x + dx, y + dy)))
                return true;
    return false;
}

int countPixels(const QImage& image, const std::function<bool(QColor)>& test) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (test(image.pixelColor(x, y)))
                ++count;
    return count;
}

bool closeColour(QColor a, QColor b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}
