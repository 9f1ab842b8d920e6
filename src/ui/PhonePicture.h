#pragma once

#include <QImage>
#include <QPixmap>

// The telephone picture of the tray icon, the incoming notice and the
// program's icons, drawn in code: a white handset on green when the adapter
// is connected, on grey with a red stroke when it is not.
QPixmap PhonePicture(int size, bool connected);
// The same as an image, which needs no running application (the build draws
// the installed icons with it).
QImage PhoneImage(int size, bool connected);
