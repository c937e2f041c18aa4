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
#include "platform/folders.h"
#include "profiles/profile_store.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFileError = 1;
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
           "profile commands (on the profile files of the data folder; no device needed):\n"
           "  profiles                        the seven profile lists: position, '*' for the\n"
           "                                  selected entry, name, '-> program' when linked\n"
           "  profile-select LIST NAME        make NAME the list's selected profile; the running\n"
           "                                  application applies it on its next selection or\n"
           "                                  start\n"
           "  profile-export LIST NAME FILE   write profile NAME to FILE\n"
           "  profile-import LIST FILE        device lists: add a profile holding FILE and select\n"
           "                                  it; light and key lists: replace the selected one\n"
           "  LIST is one of ms-device, ms-light, ms-key, kb-device, kb-light, kb-key, mp-light.\n"
           "  Empty lists are first created from the default profiles, as the application does.\n"
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

// Decimal, or hexadecimal after "0x" or "#" (colours).
std::optional<int> ParseNumber(const std::string& text) {
    std::string_view digits = text;
    int base = 10;
    for (const std::string_view prefix : {"0x", "0X", "#"}) {
        if (digits.starts_with(prefix)) {
            digits.remove_prefix(prefix.size());
            base = 16;
            break;
        }
    }
    int value = 0;
    const char* end = digits.data() + digits.size();
    const auto [last, ec] = std::from_chars(digits.data(), end, value, base);
    if (digits.empty() || ec != std::errc() || last != end) {
        return std::nullopt;
    }
    return value;
}

std::string FieldText(const gmd::mouse::LiveField& field, int value) {
    if (field.width == 1) {
        return std::to_string(value);
    }
    char text[16];
    std::snprintf(text, sizeof text, "0x%06x", static_cast<unsigned>(value));
    return text;
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
        std::cout << field.name << ' '
                  << FieldText(field, gmd::mouse::ReadLiveField(blocks.mouseLive, field)) << '\n';
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
        std::cerr << "gmdctl: " << field->name << " must be " << FieldText(*field, field->min)
                  << '-' << FieldText(*field, field->max) << '\n';
        return kExitUsage;
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
    gmd::mouse::WriteLiveField(blocks.mouseLive, *field, *value);
    const int r = gmd::mouse::SendMouseLive(channel, blocks);
    gmd::CloseSession(channel);
    if (r != gmd::kResultSuccess) {
        return CommandFailed("WriteMemory", r);
    }
    std::cout << field->name << ' ' << FieldText(*field, *value) << '\n';
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

// ---- Profiles ----------------------------------------------------------------------------

namespace profiles = gmd::profiles;

std::optional<profiles::ListId> ParseList(const std::string& name) {
    if (std::optional<profiles::ListId> list = profiles::ListFromCliName(name)) {
        return list;
    }
    std::cerr << "gmdctl: unknown list '" << name << "'; the lists are:";
    for (int i = 0; i < profiles::kListCount; ++i) {
        std::cerr << ' ' << profiles::Info(static_cast<profiles::ListId>(i)).cliName;
    }
    std::cerr << '\n';
    return std::nullopt;
}

std::string ProblemText(profiles::OpResult result) {
    switch (result) {
        case profiles::OpResult::SourceMissing:
            return "missing or cannot be read";
        case profiles::OpResult::SourceNotAProfile:
            return "not a profile file";
        case profiles::OpResult::WriteFailed:
            return "cannot be written";
        case profiles::OpResult::BadName:
            return "a name that cannot be a file name";
        default:
            break;
    }
    return "failed";
}

// First use, as the application starts: per device (keyboard, mouse, mousepad) its empty lists
// in the order device, light, key are created from the default files; a device stops at its
// first list that cannot be created. false when any list could not be created.
bool CreateEmptyLists() {
    const std::filesystem::path folder = gmd::ApplicationFolder();
    const std::vector<std::vector<profiles::ListId>> devices = {
        {profiles::ListId::KeyboardDevice, profiles::ListId::KeyboardLight,
         profiles::ListId::KeyboardKey},
        {profiles::ListId::MouseDevice, profiles::ListId::MouseLight, profiles::ListId::MouseKey},
        {profiles::ListId::MousepadLight}};
    bool allMade = true;
    for (const std::vector<profiles::ListId>& lists : devices) {
        for (const profiles::ListId list : lists) {
            const profiles::OpResult result = profiles::CreateFirstProfile(list, folder);
            if (result == profiles::OpResult::Ok) {
                continue;
            }
            const profiles::ListInfo& info = profiles::Info(list);
            const std::filesystem::path source = folder / std::string(info.defaultFile);
            std::cerr << "gmdctl: cannot create the " << info.cliName << " list: ";
            if (!profiles::LastProblem().empty()) {
                std::cerr << profiles::LastProblem() << '\n';
            } else {
                std::cerr << source.string() << ": " << ProblemText(result) << '\n';
            }
            allMade = false;
            break;
        }
    }
    return allMade;
}

// The position of NAME: the exact name first, then one that differs in case only.
std::optional<int> FindProfile(profiles::ListId list, const std::string& name) {
    const std::vector<profiles::ListEntry> entries = profiles::ReadList(list);
    for (const bool exact : {true, false}) {
        for (size_t i = 0; i < entries.size(); ++i) {
            if (exact ? entries[i].name == name
                      : profiles::SameProfileName(entries[i].name, name)) {
                return static_cast<int>(i);
            }
        }
    }
    std::cerr << "gmdctl: " << profiles::Info(list).cliName << " has no profile '" << name << "'\n";
    return std::nullopt;
}

int ListProfiles() {
    const bool allMade = CreateEmptyLists();
    for (int i = 0; i < profiles::kListCount; ++i) {
        const auto list = static_cast<profiles::ListId>(i);
        const std::vector<profiles::ListEntry> entries = profiles::ReadList(list);
        const int selected = profiles::ReadSelect(list);
        std::cout << profiles::Info(list).cliName << '\n';
        for (size_t p = 0; p < entries.size(); ++p) {
            std::cout << "  " << p << (static_cast<int>(p) == selected ? " * " : "   ")
                      << entries[p].name;
            if (entries[p].flagSet) {
                std::cout << " -> " << entries[p].program;
            }
            std::cout << '\n';
        }
    }
    return allMade ? kExitOk : kExitFileError;
}

// The list exists (created on first use) or the reason is printed.
bool ReadyList(profiles::ListId list) {
    CreateEmptyLists();
    return profiles::ReadCount(list) > 0;
}

int SelectProfile(profiles::ListId list, const std::string& name) {
    if (!ReadyList(list)) {
        return kExitFileError;
    }
    const std::optional<int> position = FindProfile(list, name);
    if (!position) {
        return kExitFileError;
    }
    if (!profiles::WriteSelect(list, *position)) {
        std::cerr << "gmdctl: cannot write " << profiles::IndexPath(list).string() << '\n';
        return kExitFileError;
    }
    std::cout << profiles::Info(list).cliName << ": selected "
              << profiles::ReadList(list)[static_cast<size_t>(*position)].name << " (position "
              << *position << ")\n";
    return kExitOk;
}

int ExportProfile(profiles::ListId list, const std::string& name, const std::string& file) {
    if (!ReadyList(list)) {
        return kExitFileError;
    }
    const std::optional<int> position = FindProfile(list, name);
    if (!position) {
        return kExitFileError;
    }
    const std::string stored = profiles::ReadList(list)[static_cast<size_t>(*position)].name;
    const profiles::OpResult result = profiles::ExportProfile(list, *position, file);
    if (result != profiles::OpResult::Ok) {
        std::cerr << "gmdctl: " << profiles::LastProblem() << '\n';
        return kExitFileError;
    }
    std::cout << "exported " << profiles::Info(list).cliName << " profile " << stored << " to "
              << file << '\n';
    return kExitOk;
}

int ImportProfile(profiles::ListId list, const std::string& file) {
    const profiles::ListInfo& info = profiles::Info(list);
    // A file that cannot be imported changes nothing.
    std::vector<uint8_t> probe;
    if (profiles::CheckImportFile(list, file, probe) != profiles::OpResult::Ok) {
        std::cerr << "gmdctl: " << profiles::LastProblem() << '\n';
        return kExitFileError;
    }
    if (!ReadyList(list)) {
        return kExitFileError;
    }
    std::string name;
    int target = profiles::ReadSelect(list);
    profiles::OpResult result = profiles::OpResult::Ok;
    if (info.kind == profiles::ProfileKind::Device) {
        result = profiles::AddImportedProfile(list, file, name, target);
    } else if (target < 0 || target >= profiles::ReadCount(list)) {
        std::cerr << "gmdctl: " << info.cliName << " has no selected profile\n";
        return kExitFileError;
    } else {
        name = profiles::ReadList(list)[static_cast<size_t>(target)].name;
        result = profiles::ImportProfile(list, target, file);
    }
    if (result != profiles::OpResult::Ok) {
        std::cerr << "gmdctl: cannot import " << file << " into " << info.cliName << ": "
                  << (profiles::LastProblem().empty() ? ProblemText(result)
                                                      : profiles::LastProblem())
                  << '\n';
        return kExitFileError;
    }
    if (info.kind == profiles::ProfileKind::Device && !profiles::WriteSelect(list, target)) {
        std::cerr << "gmdctl: cannot write " << profiles::IndexPath(list).string() << '\n';
        return kExitFileError;
    }
    std::cout << "imported " << file << " into " << info.cliName << " profile " << name << '\n';
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
    constexpr CommandShape kCommands[] = {
        {"list", 0},           {"info", 0},          {"dump", 0},
        {"settings", 0},       {"set", 2},           {"switch-profile", 1},
        {"factory-reset", 0},  {"profiles", 0},      {"profile-select", 2},
        {"profile-export", 3}, {"profile-import", 2}};
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

    // The profile commands work on files only, in the user's own home.
    if (std::string homeError; (command == "profiles" || command.rfind("profile-", 0) == 0) &&
                               !gmd::CheckUserHome(homeError)) {
        std::cerr << "gmdctl: " << homeError << '\n';
        return kExitFileError;
    }
    if (command == "profiles") {
        return ListProfiles();
    }
    if (command.rfind("profile-", 0) == 0) {
        const std::optional<profiles::ListId> list = ParseList(words[1]);
        if (!list) {
            return kExitUsage;
        }
        if (command == "profile-select") {
            return SelectProfile(*list, words[2]);
        }
        if (command == "profile-export") {
            return ExportProfile(*list, words[2], words[3]);
        }
        return ImportProfile(*list, words[2]);
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
