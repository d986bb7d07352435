// The toolbar's pictures, drawn by the program itself: two cameras (blue,
// red), a clipboard, magnifiers out and in, a hand, a cross and a small
// symbol for the decode.
#pragma once

#include <QIcon>

namespace zorvik {

enum class ToolbarPicture { BlueCamera, RedCamera, Clipboard, ZoomOut, ZoomIn, Hand, Cross, Decode };

// A 24 x 16 picture (drawn at twice that for dense screens).
QIcon ToolbarIcon(ToolbarPicture picture);

} // namespace zorvik
