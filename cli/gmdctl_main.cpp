// gmdctl: inspect the family's devices from a terminal, over the same core as the app.

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/command_report.h"
#include "device/command_set.h"
#include "device/device_channel.h"
#include "device/device_identity.h"
#include "device/hidraw_backend.h"
#include "device/report_descriptor.h"
#include "device/tracing_hid_backend.h"
#include "device/virtual_hid_bus.h"
#include "emulator/emulated_device.h"
#include "mouse/mouse_blocks.h"
#include "mouse/mouse_device.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 64;
constexpr int kExitNoDevice = 2;
constexpr int kExitCommandFailed = 3;

void PrintUsage(std::ostream& out) {
    out << "usage: gmdctl [--virtual] [--trace] <command> [arguments]\n"
           "\n"
           "commands:\n"
           "  list                 the present interfaces of the device family\n"
           "  info                 the mouse's information block\n"
           "  dump                 the whole mouse read-out as hex: information block, current\n"
           "                       image, five bank images, five settings blocks\n"
           "  settings             the mouse's live settings, one \"name value\" line per field\n"
           "  set FIELD VALUE      change one live setting and send the live block to the mouse\n"
           "  switch-profile N     make onboard profile N (0-4) the active one\n"
           "  factory-reset        restore the mouse's factory settings\n"
           "\n"
           "options:\n"
           "  --virtual  use the built-in virtual mouse instead of hardware\n"
           "  --trace    print every report on standard error ('> ' written, '< ' read)\n";
}

std::string Hex4(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

void PrintHexBlock(const std::string& title, const uint8_t* data, size_t length) {
    std::cout << title << " (" << length << " bytes)\n";
    for (size_t offset = 0; offset < length; offset += 16) {
        char address[32];
        std::snprintf(address, sizeof address, "  %04zx: ", offset);
        const size_t count = std::min<size_t>(16, length - offset);
        std::cout << address << gmd::HexBytes(data + offset, count) << '\n';
    }
}

struct Session {
    std::shared_ptr<gmd::HidBackend> backend;
    std::unique_ptr<gmd::VirtualHidBus> bus;
    std::unique_ptr<gmd::emu::EmulatedDevice> virtualMouse;
};

int CommandFailed(const char* what, int result) {
    std::cerr << "gmdctl: " << what << " failed: result " << result << " ("
              << gmd::DeviceResultText(result) << ")\n";
    return kExitCommandFailed;
}

int List(gmd::HidBackend& backend) {
    std::vector<std::string> paths;
    if (!backend.Enumerate(paths)) {
        std::cerr << "gmdctl: cannot list HID devices\n";
        return kExitNoDevice;
    }
    int shown = 0;
    for (const std::string& path : paths) {
        gmd::HidNodeInfo info;
        std::string error;
        if (!backend.Describe(path, info, error) || info.attributes.vendorId != gmd::kVendorId ||
            !gmd::IsFamilyProduct(info.attributes.productId)) {
            continue;
        }
        gmd::ReportDescriptor descriptor;
        if (!gmd::ParseReportDescriptor(info.reportDescriptor, descriptor, error) ||
            info.collectionIndex >= descriptor.collections.size()) {
            std::cerr << "gmdctl: " << path << ": " << error << '\n';
            continue;
        }
        const gmd::HidCollection& collection = descriptor.collections[info.collectionIndex];
        if (shown++ == 0) {
            std::cout << "vendor product usage-page usage path\n";
        }
        std::cout << Hex4(info.attributes.vendorId) << "   " << Hex4(info.attributes.productId)
                  << "    " << Hex4(collection.usagePage) << "       " << Hex4(collection.usage)
                  << "  " << path << '\n';
    }
    if (shown == 0) {
        std::cerr << "gmdctl: no device of the family is present\n";
        return kExitNoDevice;
    }
    return kExitOk;
}

int Connect(gmd::CDeviceChannel& channel) {
    const gmd::DeviceIdentity& id = gmd::kMouseCommandInterface;
    channel.SetIdentity(id.vendorId, id.productId, id.usage, id.usagePage);
    std::lock_guard lock(channel.IoLock());
    const int found = channel.FindAndOpen();
    if (found == 1) {
        return kExitOk;
    }
    if (found < 0) {
        std::cerr << "gmdctl: cannot list HID devices\n";
    } else {
        std::cerr << "gmdctl: no mouse found (vendor " << Hex4(id.vendorId) << ", product "
                  << Hex4(id.productId) << ", usage page " << Hex4(id.usagePage) << ", usage "
                  << Hex4(id.usage)
                  << ").\nIs it plugged in, and is the udev rule installed? "
                     "Use --virtual for the built-in virtual mouse.\n";
    }
    return kExitNoDevice;
}

void PrintInfo(const uint8_t* info) {
    using namespace gmd::info_byte;
    const unsigned sensor = static_cast<unsigned>(info[kSensorIdLow] | (info[kSensorIdHigh] << 8));
    const unsigned step = info[kDpiStepMax];
    char sensorText[16];
    std::snprintf(sensorText, sizeof sensorText, "0x%04x", sensor);
    std::cout << "sensor:            " << sensorText << '\n'
              << "highest DPI step:  " << step << " (" << 50 * (step + 1) << " DPI)\n"
              << "macro memory:      " << unsigned{info[kMacroMemory]}
              << " x 128 = " << 128 * unsigned{info[kMacroMemory]} << " bytes\n"
              << "keys:              " << unsigned{info[kKeyCount]} << '\n';
    PrintHexBlock("information block", info, gmd::kInfoBlockSize);
}

int Info(gmd::CDeviceChannel& channel) {
    if (const int rc = Connect(channel); rc != kExitOk) {
        return rc;
    }
    uint8_t info[gmd::kInfoBlockSize] = {};
    if (const int r = gmd::OpenSession(channel); r != gmd::kResultSuccess) {
        return CommandFailed("OpenSession", r);
    }
    const int r = gmd::ReadInfo(channel, info);
    gmd::CloseSession(channel);
    if (r != gmd::kResultSuccess) {
        return CommandFailed("ReadInfo", r);
    }
    PrintInfo(info);
    return kExitOk;
}

int Dump(gmd::CDeviceChannel& channel) {
    if (const int rc = Connect(channel); rc != kExitOk) {
        return rc;
    }
    if (const int r = gmd::OpenSession(channel); r != gmd::kResultSuccess) {
        return CommandFailed("OpenSession", r);
    }
    // Read everything first so a failure leaves no half-printed dump.
    uint8_t info[gmd::kInfoBlockSize] = {};
    std::vector<uint8_t> current(channel.ImageSize());
    std::vector<std::vector<uint8_t>> banks(gmd::kBankCount,
                                            std::vector<uint8_t>(channel.ImageSize()));
    std::vector<std::vector<uint8_t>> blocks(gmd::kBankCount, std::vector<uint8_t>(56));
    int r = gmd::ReadInfo(channel, info);
    const char* failed = "ReadInfo";
    if (r == gmd::kResultSuccess) {
        r = gmd::ReadImage(channel, current);
        failed = "ReadImage";
    }
    for (int bank = 0; bank < gmd::kBankCount && r == gmd::kResultSuccess; ++bank) {
        r = gmd::ReadBankImage(channel, banks[static_cast<size_t>(bank)], bank);
        failed = "ReadBankImage";
    }
    for (int i = 0; i < gmd::kBankCount && r == gmd::kResultSuccess; ++i) {
        r = gmd::ReadMemory(channel, blocks[static_cast<size_t>(i)], 56,
                            static_cast<uint16_t>(i * 64));
        failed = "ReadMemory";
    }
    gmd::CloseSession(channel);
    if (r != gmd::kResultSuccess) {
        return CommandFailed(failed, r);
    }
    PrintHexBlock("information block", info, sizeof info);
    PrintHexBlock("current image", current.data(), current.size());
    for (size_t bank = 0; bank < banks.size(); ++bank) {
        PrintHexBlock("bank image " + std::to_string(bank), banks[bank].data(), banks[bank].size());
    }
    for (size_t i = 0; i < blocks.size(); ++i) {
        PrintHexBlock(
            "settings block " + std::to_string(i) + " (address " + std::to_string(i * 64) + ")",
            blocks[i].data(), blocks[i].size());
    }
    return kExitOk;
}

std::optional<int> ParseNumber(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [last, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || last != end) {
        return std::nullopt;
    }
    return value;
}

int RangeRefused(std::string_view field, int min, int max) {
    std::cerr << "gmdctl: " << field << " must be " << min << '-' << max << '\n';
    return kExitUsage;
}

// The live settings as the mouse holds them: the block at address 0, whose first byte is the
// current profile index. The information block comes along for the highest DPI step. On
// success the session stays open for the caller to close.
int ReadLiveSettings(gmd::CDeviceChannel& channel, gmd::mouse::MouseBlocks& blocks) {
    if (const int r = gmd::OpenSession(channel); r != gmd::kResultSuccess) {
        return CommandFailed("OpenSession", r);
    }
    int r = gmd::ReadInfo(channel, blocks.mouseInfo);
    const char* failed = "ReadInfo";
    std::array<uint8_t, gmd::kReportPayloadSize> block{};
    if (r == gmd::kResultSuccess) {
        r = gmd::ReadMemory(channel, block, static_cast<uint8_t>(block.size()), 0);
        failed = "ReadMemory";
    }
    if (r != gmd::kResultSuccess) {
        gmd::CloseSession(channel);
        return CommandFailed(failed, r);
    }
    std::copy_n(block.begin(), blocks.mouseLive.size(), blocks.mouseLive.begin());
    return kExitOk;
}

int Settings(gmd::CDeviceChannel& channel) {
    if (const int rc = Connect(channel); rc != kExitOk) {
        return rc;
    }
    gmd::mouse::MouseBlocks blocks;
    if (const int rc = ReadLiveSettings(channel, blocks); rc != kExitOk) {
        return rc;
    }
    gmd::CloseSession(channel);
    for (const gmd::mouse::LiveField& field : gmd::mouse::LiveFields()) {
        std::cout << field.name << ' ' << unsigned{blocks.mouseLive[field.offset]} << '\n';
    }
    return kExitOk;
}

int Set(gmd::CDeviceChannel& channel, const std::string& name, const std::string& valueText) {
    const gmd::mouse::LiveField* field = gmd::mouse::FindLiveField(name);
    if (field == nullptr) {
        std::cerr << "gmdctl: unknown field '" << name << "'; the fields are:";
        for (const gmd::mouse::LiveField& known : gmd::mouse::LiveFields()) {
            std::cerr << ' ' << known.name;
        }
        std::cerr << '\n';
        return kExitUsage;
    }
    const std::optional<int> value = ParseNumber(valueText);
    if (!value) {
        std::cerr << "gmdctl: '" << valueText << "' is not a number\n";
        return kExitUsage;
    }
    // Fields bounded by the mouse's own highest DPI step are checked once it is known.
    if (!field->maxIsDpiStepMax && (*value < field->min || *value > field->max)) {
        return RangeRefused(field->name, field->min, field->max);
    }
    if (const int rc = Connect(channel); rc != kExitOk) {
        return rc;
    }
    gmd::mouse::MouseBlocks blocks;
    if (const int rc = ReadLiveSettings(channel, blocks); rc != kExitOk) {
        return rc;
    }
    if (field->maxIsDpiStepMax && (*value < field->min || *value > blocks.DpiStepMax())) {
        gmd::CloseSession(channel);
        return RangeRefused(field->name, field->min, blocks.DpiStepMax());
    }
    blocks.mouseLive[field->offset] = static_cast<uint8_t>(*value);
    const int r = gmd::mouse::SendMouseLive(channel, blocks);
    gmd::CloseSession(channel);
    if (r != gmd::kResultSuccess) {
        return CommandFailed("WriteMemory", r);
    }
    std::cout << field->name << ' ' << *value << '\n';
    return kExitOk;
}

int SwitchProfile(gmd::CDeviceChannel& channel, const std::string& indexText) {
    const std::optional<int> index = ParseNumber(indexText);
    if (!index || *index < 0 || *index >= gmd::mouse::kProfileCount) {
        return RangeRefused("the profile", 0, gmd::mouse::kProfileCount - 1);
    }
    if (const int rc = Connect(channel); rc != kExitOk) {
        return rc;
    }
    gmd::mouse::MouseBlocks blocks;
    const gmd::mouse::SwitchOutcome outcome =
        gmd::mouse::SwitchOnboardProfile(channel, blocks, *index);
    // The switch itself does not look at results: ask the mouse where it is now.
    uint8_t current = 0;
    if (const int r = gmd::ReadMemory(channel, std::span<uint8_t>(&current, 1), 1, 0);
        r != gmd::kResultSuccess) {
        return CommandFailed("ReadMemory", r);
    }
    if (current != *index) {
        std::cerr << "gmdctl: the mouse stayed on profile " << unsigned{current} << '\n';
        return kExitCommandFailed;
    }
    std::cout << (outcome == gmd::mouse::SwitchOutcome::AlreadyActive ? "already on profile "
                                                                      : "switched to profile ")
              << *index << '\n';
    return kExitOk;
}

int Reset(gmd::CDeviceChannel& channel) {
    if (const int rc = Connect(channel); rc != kExitOk) {
        return rc;
    }
    if (const int r = gmd::FactoryReset(channel); r != gmd::kResultSuccess) {
        return CommandFailed("FactoryReset", r);
    }
    std::cout << "factory settings restored\n";
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    bool useVirtual = false;
    bool trace = false;
    std::vector<std::string> words;  // the command and its arguments
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--virtual") {
            useVirtual = true;
        } else if (arg == "--trace") {
            trace = true;
        } else if (arg == "--help" || arg == "-h") {
            PrintUsage(std::cout);
            return kExitOk;
        } else if (!arg.empty() && arg[0] == '-' && !ParseNumber(arg)) {
            // A negative number is an argument (and refused by its range), not an option.
            std::cerr << "gmdctl: unknown option '" << arg << "'\n";
            PrintUsage(std::cerr);
            return kExitUsage;
        } else {
            words.push_back(arg);
        }
    }
    struct CommandShape {
        const char* name;
        size_t arguments;
    };
    constexpr CommandShape kCommands[] = {{"list", 0},         {"info", 0}, {"dump", 0},
                                          {"settings", 0},     {"set", 2},  {"switch-profile", 1},
                                          {"factory-reset", 0}};
    const std::string command = words.empty() ? std::string() : words.front();
    const CommandShape* shape = nullptr;
    for (const CommandShape& candidate : kCommands) {
        if (command == candidate.name) {
            shape = &candidate;
        }
    }
    if (shape == nullptr) {
        if (!command.empty()) {
            std::cerr << "gmdctl: unknown command '" << command << "'\n";
        }
        PrintUsage(std::cerr);
        return kExitUsage;
    }
    if (words.size() - 1 != shape->arguments) {
        if (words.size() - 1 > shape->arguments) {
            std::cerr << "gmdctl: unexpected argument '" << words[shape->arguments + 1] << "'\n";
        } else {
            std::cerr << "gmdctl: " << command << " needs " << shape->arguments
                      << (shape->arguments == 1 ? " argument\n" : " arguments\n");
        }
        PrintUsage(std::cerr);
        return kExitUsage;
    }

    Session session;
    if (useVirtual) {
        session.bus = std::make_unique<gmd::VirtualHidBus>();
        session.virtualMouse =
            std::make_unique<gmd::emu::EmulatedDevice>(gmd::emu::DeviceKind::Mouse, *session.bus);
        session.virtualMouse->Plug();
        session.backend = session.bus->MakeBackend();
    } else {
        session.backend = std::make_shared<gmd::HidrawBackend>();
    }
    if (trace) {
        session.backend = gmd::MakeTracingBackend(
            session.backend, [](const std::string& line) { std::cerr << line << '\n'; });
    }

    if (command == "list") {
        return List(*session.backend);
    }
    gmd::CDeviceChannel channel(session.backend);
    if (command == "info") {
        return Info(channel);
    }
    if (command == "dump") {
        return Dump(channel);
    }
    if (command == "settings") {
        return Settings(channel);
    }
    if (command == "set") {
        return Set(channel, words[1], words[2]);
    }
    if (command == "switch-profile") {
        return SwitchProfile(channel, words[1]);
    }
    return Reset(channel);
}
