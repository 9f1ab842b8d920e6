#pragma once

#include <QFont>

// The Japanese Gothic faces the windows were drawn with, falling back to an
// installed Japanese Gothic font (IPA) and then to the system's.
QFont ProportionalGothic(int pointSize);
QFont FixedGothic(int pointSize);
