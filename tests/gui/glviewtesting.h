#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QTemporaryDir>
#include <Qt>
#include <functional>
#include <vector>

class QOpenGLWidget;
class QWidget;

// Runs a test inside a fresh temporary directory holding a copy of the shipped start-up
// image, as the views read "Texture.png" from the working directory. Restores the previous
// working directory when destroyed.
class TextureDirectory {
public:
    explicit TextureDirectory(bool withImage = true);
    ~TextureDirectory();
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
    QString previous_;
};

QString shippedTexturePath();

// Shows the widget at the given size and waits until it has drawn; false when no usable GL
// context came up (the caller skips).
bool showAndWaitForGL(QOpenGLWidget& widget, int width, int height);

// A left (or other) button drag through the points: press at the first, moves, release at
// the last.
void drag(QWidget& widget, const std::vector<QPoint>& points,
          Qt::MouseButton button = Qt::LeftButton);
std::vector<QPoint> straightPath(QPoint from, QPoint to, int steps);

// Whether some pixel within radius of (x, y) (image coordinates, y down) satisfies test.
bool anyPixelNear(const QImage& image, int x, int y, int radius,
                  const std::function<bool(QColor)>& test);
int countPixels(const QImage& image, const std::function<bool(QColor)>& test);
bool closeColour(QColor a, QColor b, int tolerance);
