// Inside the binding only: the platform's bitmaps and icons as Qt images.
#pragma once

#include "platform/windows.h"

#include <QImage>

namespace qelmfc
{
// The pixels of a bitmap (any the platform loads) or of an icon's colour image; a null image
// when the handle is not one.
QImage ImagenDeBitmap(HBITMAP hBitmap);
QImage ImagenDeIcono(HICON hIcono);
} // namespace qelmfc
