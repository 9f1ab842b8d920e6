#pragma once

#include <QPixmap>

// The telephone picture of the tray icon and the incoming notice, drawn in
// code: a white handset on green when the adapter is connected, on grey with
// a red stroke when it is not.
QPixmap PhonePicture(int size, bool connected);
