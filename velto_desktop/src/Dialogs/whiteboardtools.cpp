#include "whiteboardtools.h"

#include "iconhelper.h"

#include <QToolButton>

void whiteboardtools::setToolGlyphs(QWidget* panel)
{
    const struct {
        const char* name;
        ushort glyph;
    } glyphs[] = {{"btnClear", 0xf016}, {"btnText", 0xf031}, {"btnLine", 0xf040}, {"btnErase", 0xf12d}};
    for (const auto& g : glyphs) {
        if (auto* button = panel->findChild<QToolButton*>(g.name))
            IconHelper::Instance()->SetIcon(button, QChar(g.glyph), QString(), 12);
    }
}
