#include "platform/toolkit/ProgramImages.h"

#include <QImageReader>
#include <QPixmap>

namespace toolkit {

QImage ProgramImage(const QString& resource, const char* format)
{
    QImageReader reader(resource, format);
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

QIcon ProgramIcon(const QString& resource, const char* format)
{
    const QImage image = ProgramImage(resource, format);
    return image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
}

}  // namespace toolkit
