#pragma once

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

// Prepares renderer as a frameless sub-window of holder, traces the holder's
// background colour, shows renderer when the holder is visible, and gives
// holder a new margin-free horizontal box layout that holds renderer. The
// holder's previous layout is deleted; the widgets it managed are deleted too
// or stay as unmanaged children, as content says.
void attachToHolder(QWidget* renderer, QWidget* holder, HolderContent content);

}  // namespace renderer_support
