// Finding, opening and closing the unit among the bridge devices.
#include <gtest/gtest.h>

#include "device/device_connection.h"
#include "tests/host/fakes.h"

namespace {

constexpr BridgeHandle kHandleOf(int index) {
    return 0x5100 + index;
}

SimulatedBridgeDevice Serial(std::string serial) {
    return {std::move(serial), true};
}
SimulatedBridgeDevice Unreadable() {
    return {"2031", false};
}

struct OpenCase {
    const char* name;
    UnitScript script;
    std::vector<std::wstring> warnings;
    BridgeHandle handle;        // after the open
    std::uint32_t opens;        // successful opens
    std::uint32_t closes;       // successful closes
    std::uint32_t stringReads;  // product string calls
};

UnitScript Devices(std::vector<SimulatedBridgeDevice> devices) {
    UnitScript s;
    s.devices = std::move(devices);
    return s;
}

UnitScript Failing(PortOp op, std::uint32_t times = 1) {
    UnitScript s;
    s.portFaults.push_back({.op = op, .call = 1, .times = times});
    return s;
}

const std::wstring kNotConnected = L"Usb device not connected!";
const std::wstring kNoSerial = L"Error retrieving serial string!";
const std::wstring kCloseFailed = L"Unable to close device handle!";

void PrintTo(const OpenCase& c, std::ostream* os) {
    *os << c.name;
}

class OpenConnection : public testing::TestWithParam<OpenCase> {};

TEST_P(OpenConnection, ChoosesTheUnitOrReportsWhyNot) {
    const OpenCase& c = GetParam();
    ResetHost(c.script);
    OpenDeviceConnection();
    EXPECT_EQ(WarningTexts(), c.warnings);
    for (const ShownWarning& w : Seen().warnings) {
        EXPECT_EQ(w.caption, L" ");
    }
    EXPECT_EQ(DeviceHandle(), c.handle);
    EXPECT_EQ(Unit().opens, c.opens);
    EXPECT_EQ(Unit().closes, c.closes);
    EXPECT_EQ(Unit().callsOf[static_cast<int>(PortOp::ProductString)], c.stringReads);
    EXPECT_TRUE(Unit().frames.empty());
    if (c.handle != kNoDevice) {
        EXPECT_EQ(Unit().flushFlags[0], 1u);
        EXPECT_EQ(Unit().flushFlags[1], 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Search, OpenConnection,
    testing::Values(
        OpenCase{"OneUnit", {}, {}, kHandleOf(0), 1, 0, 2},
        OpenCase{"NoDevice", Devices({}), {kNotConnected}, kNoDevice, 0, 0, 0},
        OpenCase{"LongerSerialIsNotTheUnit",
                 Devices({Serial("20312"), Serial("2031")}),
                 {},
                 kHandleOf(1),
                 1,
                 0,
                 3},
        OpenCase{"ShorterSerialIsNotTheUnit",
                 Devices({Serial("203"), Serial("2031")}),
                 {},
                 kHandleOf(1),
                 1,
                 0,
                 3},
        OpenCase{"NoMatchAtAll",
                 Devices({Serial("20312"), Serial("1031")}),
                 {kNotConnected},
                 kNoDevice,
                 0,
                 0,
                 2},
        OpenCase{"ThreeUnreadableSerials",
                 Devices({Unreadable(), Unreadable(), Unreadable()}),
                 {kNoSerial, kNoSerial, kNoSerial, kNotConnected},
                 kNoDevice,
                 0,
                 0,
                 3},
        OpenCase{"UnreadableSerialIsSkipped",
                 Devices({Unreadable(), Serial("2031")}),
                 {kNoSerial},
                 kHandleOf(1),
                 1,
                 0,
                 3},
        OpenCase{"SerialFillingTheBufferWithoutNul",
                 Devices({Serial("2031" + std::string(252, '7')), Serial("2031")}),
                 {},
                 kHandleOf(1),
                 1,
                 0,
                 3},
        OpenCase{"SerialLongerThanTheBuffer",
                 Devices({Serial(std::string(300, 'x'))}),
                 {kNotConnected},
                 kNoDevice,
                 0,
                 0,
                 1},
        OpenCase{"CountFails", Failing(PortOp::DeviceCount), {kNotConnected}, kNoDevice, 0, 0, 0},
        OpenCase{"SecondProductStringFails",
                 UnitScript{.productStringKind2Fails = true},
                 {},
                 kNoDevice,
                 0,
                 0,
                 2},
        OpenCase{"OpenFails", Failing(PortOp::Open), {}, kNoDevice, 0, 0, 2},
        OpenCase{
            "FlushFailsSoTheOpenedUnitIsClosed", Failing(PortOp::Flush), {}, kNoDevice, 1, 1, 2},
        OpenCase{"FlushAndCloseFail",
                 UnitScript{.portFaults = {{.op = PortOp::Flush, .call = 1},
                                           {.op = PortOp::Close, .call = 1}}},
                 {kCloseFailed},
                 kNoDevice,
                 1,
                 0,
                 2}),
    [](const testing::TestParamInfo<OpenCase>& p) { return std::string(p.param.name); });

TEST(CloseConnection, ClosingWithNothingOpenDoesNothing) {
    ResetHost({});
    CloseDeviceConnection();
    EXPECT_TRUE(Seen().warnings.empty());
    EXPECT_EQ(Unit().callsOf[static_cast<int>(PortOp::Close)], 0u);
}

TEST(CloseConnection, FailedCloseIsShownAndTheHandleIsGoneAllTheSame) {
    ResetHost(Failing(PortOp::Close));
    OpenDeviceConnection();
    ASSERT_NE(DeviceHandle(), kNoDevice);
    CloseDeviceConnection();
    EXPECT_EQ(WarningTexts(), std::vector<std::wstring>{kCloseFailed});
    EXPECT_EQ(Seen().warnings[0].caption, L" ");
    EXPECT_EQ(DeviceHandle(), kNoDevice);
}

}  // namespace
