// Build step: draws the program's icon, the connected telephone of the tray,
// as PNG files of a hicolor icon theme.
// Usage: make-icons <theme folder> <icon name> <size>...
// writes <theme folder>/<size>x<size>/apps/<icon name>.png
#include "ui/PhonePicture.h"

#include <QDir>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: make-icons <theme folder> <icon name> <size>...\n");
    return 2;
  }
  for (int i = 3; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    const QString folder = QString("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
    const QString file = folder + "/" + QString::fromLocal8Bit(argv[2]) + ".png";
    if (size <= 0 || !QDir().mkpath(folder) || !PhoneImage(size, true).save(file, "PNG")) {
      std::fprintf(stderr, "make-icons: cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}
