#include "gui/pngload.h"

#include <QOpenGLContext>
#include <qopengl.h>

void pngUpload(const PngImage& image) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, static_cast<GLsizei>(image.width),
                 static_cast<GLsizei>(image.height), 0, GL_RGB, GL_UNSIGNED_BYTE, image.rgb.data());
}

bool pngLoad(const char* name, int mipmap, int trans, pngInfo* info, ImageFailure* failure) {
    if (!name || mipmap != 0 || trans != -1 || !QOpenGLContext::currentContext())
        return false;
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    PngImage image;
    std::string error;
    if (maxSize <= 0 || !pngDecode(name, image, error, static_cast<unsigned int>(maxSize), failure))
        return false;
    pngUpload(image);
    if (info)
        *info = image.info;
    return true;
}
