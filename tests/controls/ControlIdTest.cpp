#include "controls/ControlId.h"

#include <QPushButton>
#include <gtest/gtest.h>

TEST(ControlIdTest, FindsNestedControlsByIdAndType)
{
    QWidget window;
    QWidget panel(&window);
    auto* button = new QPushButton(&panel);
    ControlId::Set(button, 1003);

    EXPECT_EQ(ControlId::Of(button), 1003);
    EXPECT_EQ(ControlId::Of(&panel), ControlId::kNone);
    EXPECT_EQ(ControlId::Find(&window, 1003), button);
    EXPECT_EQ(ControlId::Find<QPushButton>(&window, 1003), button);
    EXPECT_EQ(ControlId::Find(&window, 1004), nullptr);
}
