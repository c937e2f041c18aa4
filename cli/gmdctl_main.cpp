// gmdctl: inspect the family's devices from a terminal, over the same core as the app.

#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "device/command_set.h"
#include "device/device_channel.h"
#include "device/device_identity.h"
#include "device/hidraw_backend.h"
#include "device/report_descriptor.h"
#include "device/tracing_hid_backend.h"
#include "device/virtual_hid_bus.h"
#include "emulator/emulated_device.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 64;
constexpr int kExitNoDevice = 2;
constexpr int kExitCommandFailed = 3;

void PrintUsage(std::ostream& out) {
    out << "usage: gmdctl [--virtual] [--trace] <command>\n"
           "\n"
           "commands:\n"
           "  list   the present interfaces of the device family\n"
           "  info   the mouse's information block\n"
           "  dump   the whole mouse read-out as hex: information block, current image,\n"
           "         five bank images, five settings blocks\n"
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

}  // namespace

int main(int argc, char** argv) {
    bool useVirtual = false;
    bool trace = false;
    std::string command;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--virtual") {
            useVirtual = true;
        } else if (arg == "--trace") {
            trace = true;
        } else if (arg == "--help" || arg == "-h") {
            PrintUsage(std::cout);
            return kExitOk;
        } else if (!arg.empty() && arg[0] == '-') {
            std::cerr << "gmdctl: unknown option '" << arg << "'\n";
            PrintUsage(std::cerr);
            return kExitUsage;
        } else if (command.empty()) {
            command = arg;
        } else {
            std::cerr << "gmdctl: unexpected argument '" << arg << "'\n";
            return kExitUsage;
        }
    }
    if (command != "list" && command != "info" && command != "dump") {
        if (!command.empty()) {
            std::cerr << "gmdctl: unknown command '" << command << "'\n";
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
    return command == "info" ? Info(channel) : Dump(channel);
}
