#pragma once

#include <QtGlobal>

class QColor;
class QOpenGLFunctions;
class QWidget;

// Helpers shared by the renderer widgets.
namespace renderer_support {

// Largest frame side accepted from a producer; bigger frames are refused
// rather than allocated (it is also the usual GL texture size limit).
constexpr int kMaxFrameSide = 16384;

bool isAcceptedFrameSize(int width, int height);

// Reports a frame that a renderer refuses. Safe on any thread.
void traceInvalidFrame(int width, int height);

enum class HolderContent { Delete, Keep };

// Prepares renderer as a frameless sub-window of holder, shows it when the
// holder is visible, and gives holder a new margin-free horizontal box layout
// that holds renderer. The holder's previous layout is deleted; the widgets it
// managed are deleted too or stay as unmanaged children, as content says.
// Returns the holder's background colour (the renderer's without a holder).
QColor attachToHolder(QWidget* renderer, QWidget* holder, HolderContent content);

// Viewport over a widget of the given logical size, in device pixels, so that
// fractional scaling fills the widget.
void setViewport(QOpenGLFunctions& gl, float width, float height, qreal devicePixelRatio);

}  // namespace renderer_support
