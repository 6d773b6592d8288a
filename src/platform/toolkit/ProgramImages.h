#pragma once
// The program's own pictures are named by their resource identifiers, without a file suffix. Their
// format is therefore given, and not guessed: guessing loads every image-format plug-in installed.
#include <QIcon>
#include <QImage>

namespace toolkit {

// A picture of the program's resources in a format Qt reads without plug-ins ("bmp", "png");
// a null image when it is missing or not of that format.
QImage ProgramImage(const QString& resource, const char* format);

QIcon ProgramIcon(const QString& resource, const char* format);

}  // namespace toolkit
