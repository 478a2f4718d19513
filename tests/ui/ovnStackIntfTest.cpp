// The command stack as the combos reach it: the commands' stored ordinals
// and the registration the controller fills.
#include "ui/ovnStackIntf.h"

#include "platform/SysUtils.h"

#include "support/ErrorOf.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <vector>

namespace {

TEST(CommandStackInterface, CommandsKeepTheirStoredOrdinals)
{
    const std::vector<std::pair<TStackCommand, int>> ordinals = {
        {cm_SetData, 0}, {cm_Enabled, 1},     {cm_EnabledAll, 2}, {cm_Visible, 3},
        {cm_Color, 4},   {cm_NewRecord, 5},   {cm_VisibleTab, 6}, {cm_Return, 7},
        {cm_ReadOnly, 8}, {cm_Filter, 9},     {cm_Marked, 10}};
    for (auto [command, ordinal] : ordinals)
        EXPECT_EQ(static_cast<int>(command), ordinal);
}

struct RecordingStack : IovnCommandStack
{
    bool CheckInit() override
    {
        Calls.push_back("CheckInit");
        return Sender != nullptr;
    }
    void InitStack(QWidget* Value) override
    {
        Calls.push_back("InitStack");
        Sender = Value;
    }
    void Write(TStackCommand Command, const std::string& Component, const std::string& Value) override
    {
        Calls.push_back("Write " + std::to_string(Command) + " " + Component + " " + Value);
    }
    void DropPlus() override
    {
        Calls.push_back("DropPlus");
        Sender = nullptr;
    }
    std::vector<std::string> Calls;
    QWidget* Sender = nullptr;
};

TEST(CommandStackInterface, RegistrationAnswersTheStackItReplaces)
{
    ASSERT_EQ(CommandStack(), nullptr) << "nothing below the controller registers one";
    EXPECT_EQ(ErrorOf([] { RequireCommandStack(); }), "No command stack is registered");

    RecordingStack first, second;
    EXPECT_EQ(SetCommandStack(&first), nullptr);
    EXPECT_EQ(SetCommandStack(&second), &first);
    QWidget form;
    IovnCommandStack& stack = RequireCommandStack();
    if (!stack.CheckInit())
        stack.InitStack(&form);
    stack.Write(cm_Return, "EDTFACILITY", "CBOFACILITY");
    EXPECT_EQ(second.Calls, (std::vector<std::string>{"CheckInit", "InitStack", "Write 7 EDTFACILITY CBOFACILITY"}));
    EXPECT_EQ(second.Sender, &form);
    EXPECT_TRUE(first.Calls.empty());
    EXPECT_EQ(SetCommandStack(nullptr), &second);
    EXPECT_EQ(CommandStack(), nullptr);
}

} // namespace
