#include "RenderTestSupport.h"

#include <QLabel>
#include <QLayout>
#include <QPointer>
#include <QStringList>
#include <QVBoxLayout>

using namespace render_test;

namespace {

enum class Content { None, Label, EarlierRenderer };

struct HolderCase {
    const char* name;
    Content content;

    friend void PrintTo(const HolderCase& c, std::ostream* os) { *os << c.name; }
};

class CreateRenderOnHolder : public ::testing::TestWithParam<HolderCase> {};

TEST_P(CreateRenderOnHolder, RendererBecomesTheOnlyContentAndFillsTheHolder)
{
    auto holder = shownHolder(320, 180);
    QPointer<QWidget> unmanaged = new QWidget(holder.get());
    QPointer<QWidget> previous;
    switch (GetParam().content) {
    case Content::None:
        break;
    case Content::Label:
        previous = new QLabel("placeholder");
        (new QVBoxLayout(holder.get()))->addWidget(previous);
        break;
    case Content::EarlierRenderer:
        previous = QGLRenderInterface::CreateRender(holder.get())->getSelfWidget();
        break;
    }

    QGLRenderInterface* render = QGLRenderInterface::CreateRender(holder.get());
    QWidget* widget = render->getSelfWidget();

    EXPECT_NE(static_cast<void*>(widget), static_cast<void*>(render));
    if (GetParam().content != Content::None) {
        EXPECT_TRUE(previous.isNull());
    }
    EXPECT_FALSE(unmanaged.isNull()) << "children outside the layout stay";
    QLayout* layout = holder->layout();
    ASSERT_NE(nullptr, layout);
    ASSERT_EQ(1, layout->count());
    EXPECT_EQ(widget, layout->itemAt(0)->widget());
    EXPECT_EQ(QMargins(), layout->contentsMargins());
    drainEvents();
    EXPECT_TRUE(widget->isVisible());
    EXPECT_EQ(holder->rect(), widget->geometry());
}

INSTANTIATE_TEST_SUITE_P(, CreateRenderOnHolder,
                         ::testing::Values(HolderCase{"EmptyHolder", Content::None},
                                           HolderCase{"PlaceholderLabel", Content::Label},
                                           HolderCase{"EarlierRenderer", Content::EarlierRenderer}),
                         [](const auto& info) { return std::string(info.param.name); });

QStringList capturedMessages;

void captureMessage(QtMsgType, const QMessageLogContext&, const QString& message)
{
    capturedMessages << message;
}

TEST(CreateRender, WithoutParentReturnsAHiddenRendererAndSaysSo)
{
    capturedMessages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    std::unique_ptr<QGLRenderInterface> render(QGLRenderInterface::CreateRender(nullptr));
    qInstallMessageHandler(previous);

    ASSERT_NE(nullptr, render);
    EXPECT_EQ(nullptr, render->getSelfWidget()->parentWidget());
    EXPECT_FALSE(render->getSelfWidget()->isVisible());
    EXPECT_TRUE(capturedMessages.contains("parent is NULL")) << capturedMessages.join('|').toStdString();
}

}  // namespace
