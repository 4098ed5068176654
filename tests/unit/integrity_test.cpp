// The integrity level of a served window's process against the program's own, read from the
// processes' tokens on the simulated desktop.
#include "panel/integrity.h"

#include "platform/sim/desktop.h"

#include <gtest/gtest.h>

namespace ep {
namespace {

TEST(Integrity, OnlyAHigherLevelCountsAndEveryHandleIsClosed) {
    sim::Desktop desk;
    const Hwnd files = desk.addWindow("CabinetWClass", "Files", Rect{0, 0, 300, 300});
    const int handles = desk.liveKernelHandles();
    struct Case {
        std::uint32_t program, window;
        bool higher;
    };
    const Case cases[] = {
        {sim::SECURITY_MANDATORY_MEDIUM_RID, sim::SECURITY_MANDATORY_MEDIUM_RID, false},
        {sim::SECURITY_MANDATORY_MEDIUM_RID, sim::SECURITY_MANDATORY_HIGH_RID, true},
        {sim::SECURITY_MANDATORY_MEDIUM_RID, sim::SECURITY_MANDATORY_SYSTEM_RID, true},
        {sim::SECURITY_MANDATORY_MEDIUM_RID, sim::SECURITY_MANDATORY_LOW_RID, false},
        {sim::SECURITY_MANDATORY_HIGH_RID, sim::SECURITY_MANDATORY_HIGH_RID, false},
        {sim::SECURITY_MANDATORY_LOW_RID, sim::SECURITY_MANDATORY_MEDIUM_RID, true},
    };
    for (const Case& c : cases) {
        desk.setIntegrityLevel(0, c.program);
        desk.setIntegrityLevel(files, c.window);
        EXPECT_EQ(runsAtHigherIntegrity(files), c.higher) << c.program << " " << c.window;
        EXPECT_EQ(desk.liveKernelHandles(), handles);
    }
    EXPECT_FALSE(runsAtHigherIntegrity(0));
    EXPECT_EQ(desk.liveKernelHandles(), handles);
}

// Where a step fails the answer is "not higher", so that the caller goes on as before.
TEST(Integrity, AFailingStepAnswersNotHigher) {
    sim::Desktop desk;
    const Hwnd admin = desk.addWindow("CabinetWClass", "Admin files", Rect{0, 0, 300, 300});
    desk.setIntegrityLevel(admin, sim::SECURITY_MANDATORY_HIGH_RID);
    const int handles = desk.liveKernelHandles();
    ASSERT_TRUE(runsAtHigherIntegrity(admin));
    for (const char* call : {"OpenProcess", "OpenProcessToken", "GetTokenInformation"}) {
        desk.failProcessQuery(call, true);
        EXPECT_FALSE(runsAtHigherIntegrity(admin)) << call;
        EXPECT_EQ(desk.liveKernelHandles(), handles) << call;
        desk.failProcessQuery(call, false);
    }
    desk.closeWindow(admin);
    EXPECT_FALSE(runsAtHigherIntegrity(admin)) << "a window that has gone";
}

} // namespace
} // namespace ep
