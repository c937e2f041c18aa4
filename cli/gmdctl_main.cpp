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
#include "macros/cursor_sequences.h"
#include "macros/key_function.h"
#include "macros/macro_model.h"
#include "macros/macro_upload.h"
#include "mouse/mouse_blocks.h"
#include "mouse/mouse_device.h"
#include "mouse/mouse_light_engine.h"
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
           "  light                the light fields of the mouse's live settings\n"
           "  light-frames MODE N  the first N frames the mouse lighting engine computes for\n"
           "                       MODE (0-6), one line of hex each; no device needed. Options:\n"
           "                       --speed S (0-4, default 2), --brightness B (0-4, default 4),\n"
           "                       --colour #RRGGBB (default #ff0000), --direction D (0-1,\n"
           "                       default 0), --cycle 0|1 (default 0; mode 0: 1). Mode 6\n"
           "                       flashes at the first frame.\n"
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
           "macro commands (files of the data folder; --keyboard for the keyboard's macros):\n"
           "  macros                    the macros: index, number of actions, name\n"
           "  macro-show NAME           the macro's actions, one text per line\n"
           "  macro-import FILE         add a macro holding the actions of FILE (.mac)\n"
           "  macro-export NAME FILE    write macro NAME to FILE (--force replaces FILE)\n"
           "  cursor-show N             cursor sequence N (1-4): step, delay in ms, horizontal\n"
           "                            and vertical move\n"
           "\n"
           "key commands (on the mouse's current onboard profile):\n"
           "  buttons                   each button: number, record (hex), function\n"
           "  assign BUTTON FUNCTION    give button 0-6 a function, then save to the device\n"
           "  save-to-device            send the cursor sequences, the macros and the key\n"
           "                            records of the current onboard profile\n"
           "  FUNCTION is one of: default, left, middle, right, forward, back,\n"
           "  scroll:left|right|up|down:AMOUNT[:HIGH:LOW], dpi:cycle|up|down, fire:A:B,\n"
           "  key:[MODIFIER+...]KEY (key:Ctrl+C, key:NumEnter, key:LShift), shortcut:NAME,\n"
           "  consumer:NAME (volume-up, mute, play-pause, ...), system:power|sleep|wake-up,\n"
           "  macro:NAME[:repeat:N|:mode:M], cursor:1-4, raw:KIND:ARG1:ARG2\n"
           "\n"
           "options:\n"
           "  --virtual   use the built-in virtual mouse instead of hardware\n"
           "  --trace     print every report on standard error ('> ' written, '< ' read)\n"
           "  --keyboard  macro commands: the keyboard's macros\n"
           "  --force     macro-export: replace an existing file\n";
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
    const std::vector<gmd::HidBlockedNode> blocked = channel.BlockedNodes();
    if (found < 0) {
        std::cerr << "gmdctl: cannot list HID devices\n";
    } else if (!blocked.empty()) {
        // It is there, but this user may not open it: say exactly that.
        for (const gmd::HidBlockedNode& node : blocked) {
            std::cerr << "gmdctl: " << node.node << ": " << std::strerror(node.error) << '\n';
        }
        std::cerr << "Is the udev rule installed? Plug the mouse in again after installing it.\n";
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
    if (!gmd::mouse::FieldAccepts(*field, *value, blocks.DpiStepMax())) {
        gmd::CloseSession(channel);
        return RangeRefused(field->name, field->min,
                            gmd::mouse::FieldMax(*field, blocks.DpiStepMax()));
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

// ---- Lighting ----------------------------------------------------------------------------

bool IsLightField(const gmd::mouse::LiveField& field) {
    return field.offset >= gmd::mouse::live::lightMode &&
           field.offset <= gmd::mouse::live::effectPhase;
}

int Light(gmd::CDeviceChannel& channel) {
    if (const int rc = Connect(channel); rc != kExitOk) {
        return rc;
    }
    gmd::mouse::MouseBlocks blocks;
    if (const int rc = ReadLiveSettings(channel, blocks); rc != kExitOk) {
        return rc;
    }
    gmd::CloseSession(channel);
    for (const gmd::mouse::LiveField& field : gmd::mouse::LiveFields()) {
        if (IsLightField(field)) {
            std::cout << field.name << ' '
                      << FieldText(field, gmd::mouse::ReadLiveField(blocks.mouseLive, field))
                      << '\n';
        }
    }
    return kExitOk;
}

// Options of light-frames, as given on the command line.
struct LightOption {
    std::string name;
    std::string value;
};

bool IsLightOption(const std::string& arg) {
    return arg == "--speed" || arg == "--brightness" || arg == "--colour" || arg == "--direction" ||
           arg == "--cycle";
}

std::optional<int> NumberIn(const std::string& what, const std::string& text, int min, int max) {
    const std::optional<int> value = ParseNumber(text);
    if (!value || *value < min || *value > max) {
        std::cerr << "gmdctl: " << what << " must be " << min << '-' << max << ", not '" << text
                  << "'\n";
        return std::nullopt;
    }
    return value;
}

int LightFrames(const std::string& modeText, const std::string& countText,
                const std::vector<LightOption>& options) {
    const std::optional<int> mode = NumberIn("MODE", modeText, 0, gmd::mouse::kMouseLightModes - 1);
    const std::optional<int> count = NumberIn("N", countText, 1, 100000);
    if (!mode || !count) {
        return kExitUsage;
    }
    gmd::mouse::LightFields fields;
    fields.brightness = 4;
    fields.speed = 2;
    fields.red = 255;
    gmd::mouse::ApplyModeChoice(fields, static_cast<uint8_t>(*mode));
    for (const LightOption& option : options) {
        const std::string what = option.name.substr(2);
        std::optional<int> value;
        if (what == "colour") {
            if (!option.value.starts_with('#') || option.value.size() != 7 ||
                !(value = ParseNumber(option.value))) {
                std::cerr << "gmdctl: --colour must be #RRGGBB, not '" << option.value << "'\n";
                return kExitUsage;
            }
            fields.red = static_cast<uint8_t>(*value >> 16);
            fields.green = static_cast<uint8_t>(*value >> 8);
            fields.blue = static_cast<uint8_t>(*value);
            continue;
        }
        const int max = what == "speed" || what == "brightness" ? 4 : 1;
        if (!(value = NumberIn("--" + what, option.value, 0, max))) {
            return kExitUsage;
        }
        const auto byte = static_cast<uint8_t>(*value);
        if (what == "speed") {
            fields.speed = byte;
        } else if (what == "brightness") {
            fields.brightness = byte;
        } else if (what == "direction") {
            fields.direction = byte;
        } else {
            fields.colourCycle = byte != 0 ? 255 : 0;
        }
    }
    gmd::mouse::MouseEffectState state;
    for (int i = 0; i < *count; ++i) {
        gmd::mouse::StepMouseLight(state, fields, i == 0);
        const gmd::mouse::MouseFrame frame = gmd::mouse::BuildMouseFrame(state.leds);
        std::string line;
        line.reserve(2 * frame.size() + 1);
        for (const uint8_t byte : frame) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02x", byte);
            line += hex;
        }
        line += '\n';
        std::cout << line;
    }
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

// ---- Macros, cursor sequences and keys ---------------------------------------------------

namespace macros = gmd::macros;

std::optional<int> FindMacro(const macros::MacroStore& store, const std::string& name) {
    const std::vector<std::string> names = macros::ReadMacroNames(store);
    for (const bool exact : {true, false}) {
        for (size_t i = 0; i < names.size(); ++i) {
            if (exact ? names[i] == name : macros::SameMacroName(names[i], name)) {
                return static_cast<int>(i);
            }
        }
    }
    std::cerr << "gmdctl: there is no macro '" << name << "'\n";
    return std::nullopt;
}

int ListMacros(const macros::MacroStore& store) {
    const std::vector<std::string> names = macros::ReadMacroNames(store);
    for (size_t i = 0; i < names.size(); ++i) {
        const int count = macros::CheckMacroName(names[i]) == macros::NameProblem::None
                              ? macros::ReadActionCount(store.MacroPath(names[i]))
                              : 0;
        std::cout << i << ' ' << count << ' ' << names[i] << '\n';
    }
    return kExitOk;
}

int ShowMacro(const macros::MacroStore& store, const std::string& name) {
    const std::optional<int> index = FindMacro(store, name);
    if (!index) {
        return kExitFileError;
    }
    const std::string stored = macros::ReadMacroNames(store)[static_cast<size_t>(*index)];
    if (macros::CheckMacroName(stored) != macros::NameProblem::None) {
        std::cerr << "gmdctl: the listed name '" << stored << "' cannot be a file name\n";
        return kExitFileError;
    }
    for (const std::string& text : macros::ReadActionTexts(store.MacroPath(stored))) {
        std::cout << text << '\n';
    }
    return kExitOk;
}

int ImportMacro(const macros::MacroStore& store, const std::string& file) {
    std::string name;
    std::string error;
    const macros::MacroResult result = macros::ImportMacro(store, file, name, error);
    if (result != macros::MacroResult::Ok) {
        std::cerr << "gmdctl: " << file << ": " << macros::MacroResultText(result)
                  << (error.empty() ? "" : ": " + error) << '\n';
        return kExitFileError;
    }
    std::cout << "imported " << file << " as macro " << name << '\n';
    return kExitOk;
}

int ExportMacro(const macros::MacroStore& store, const std::string& name, const std::string& file,
                bool force) {
    const std::optional<int> index = FindMacro(store, name);
    if (!index) {
        return kExitFileError;
    }
    const macros::MacroResult result = macros::ExportMacro(store, *index, file, force);
    if (result != macros::MacroResult::Ok) {
        std::cerr << "gmdctl: "
                  << (result == macros::MacroResult::SourceMissing
                          ? "macro " + name + " has no saved actions"
                          : file + ": " + std::string(macros::MacroResultText(result)))
                  << (result == macros::MacroResult::FileExists ? " (--force replaces it)" : "")
                  << '\n';
        return kExitFileError;
    }
    std::cout << "exported macro " << name << " to " << file << '\n';
    return kExitOk;
}

// The cursor entries and files exist as the application makes them at start-up.
void EnsureCursors(const macros::MacroStore& mouseStore) {
    std::vector<std::string> failed;
    if (!macros::EnsureCursorFiles(mouseStore, gmd::ApplicationFolder(), &failed)) {
        for (const std::string& file : failed) {
            std::cerr << "gmdctl: cannot create " << file << '\n';
        }
    }
}

int ShowCursor(const std::string& numberText) {
    const std::optional<int> number = ParseNumber(numberText);
    if (!number || *number < 1 || *number > macros::kCursorSequenceCount) {
        return RangeRefused("the cursor sequence", 1, macros::kCursorSequenceCount);
    }
    const macros::MacroStore store = macros::MacroStore::For(macros::KeyDevice::Mouse);
    EnsureCursors(store);
    const std::filesystem::path file = macros::CursorFilePath(store, *number - 1);
    std::cout << "step delay horizontal vertical\n";
    for (int step = 0; step < macros::kCursorSteps; ++step) {
        const macros::CursorStep s = macros::LoadStep(file, step);
        std::cout << step + 1 << ' ' << s.delay << ' ' << (s.left ? "left:" : "right:") << s.x
                  << ' ' << (s.up ? "up:" : "down:") << s.y << '\n';
    }
    return kExitOk;
}

// What the key commands need from the mouse: its information block, the current onboard
// profile, that profile's bank image and the current image (the buttons' defaults).
struct KeyState {
    gmd::mouse::MouseBlocks blocks;
    int profile = 0;
};

int ReadKeyState(gmd::CDeviceChannel& channel, KeyState& state) {
    if (const int rc = ReadLiveSettings(channel, state.blocks); rc != kExitOk) {
        return rc;
    }
    state.profile = state.blocks.ProfileIndex();
    if (state.profile >= gmd::mouse::kProfileCount) {
        gmd::CloseSession(channel);
        std::cerr << "gmdctl: the mouse reports onboard profile " << state.profile << '\n';
        return kExitCommandFailed;
    }
    int r = gmd::ReadImage(channel, state.blocks.mouseCurrentImage);
    const char* failed = "ReadImage";
    if (r == gmd::kResultSuccess) {
        r = gmd::ReadBankImage(channel,
                               state.blocks.mouseBankImage[static_cast<size_t>(state.profile)],
                               state.profile);
        failed = "ReadBankImage";
    }
    gmd::CloseSession(channel);
    return r == gmd::kResultSuccess ? kExitOk : CommandFailed(failed, r);
}

std::string RecordHex(macros::KeyFunction record) {
    char text[16];
    std::snprintf(text, sizeof text, "%02x %02x %02x", record.kind, record.arg1, record.arg2);
    return text;
}

void PrintButtons(const KeyState& state, const std::vector<std::string>& macroNames) {
    const gmd::mouse::Image& image =
        state.blocks.mouseBankImage[static_cast<size_t>(state.profile)];
    std::cout << "profile " << state.profile << '\n';
    for (int n = 0; n < macros::kMouseButtonCount; ++n) {
        const macros::KeyFunction record = macros::ReadKeyRecord(image, static_cast<size_t>(n));
        std::cout << n << ' ' << RecordHex(record) << ' '
                  << macros::FunctionText(record, macroNames) << '\n';
    }
}

int Buttons(gmd::CDeviceChannel& channel) {
    if (const int rc = Connect(channel); rc != kExitOk) {
        return rc;
    }
    KeyState state;
    if (const int rc = ReadKeyState(channel, state); rc != kExitOk) {
        return rc;
    }
    PrintButtons(state, macros::ReadMacroNames(macros::MacroStore::For(macros::KeyDevice::Mouse)));
    return kExitOk;
}

// The save-to-device run of the key page: cursor sequences, macros, then the key records.
int Upload(gmd::CDeviceChannel& channel, const KeyState& state) {
    const macros::MacroStore store = macros::MacroStore::For(macros::KeyDevice::Mouse);
    EnsureCursors(store);
    macros::UploadRequest request;
    request.macros = store;
    request.cursors = store;
    request.keyBlock =
        macros::MouseKeyBlock(state.blocks.mouseBankImage[static_cast<size_t>(state.profile)]);
    request.bank = state.profile;
    request.capacityUnits = state.blocks.mouseInfo[gmd::info_byte::kMacroMemory];
    const macros::UploadReport report = macros::SaveToDevice(channel, request);
    if (report.cursorSkipped) {
        std::cerr << "gmdctl: the cursor sequences are larger than " << macros::kCursorBlobLimit
                  << " bytes and were not sent\n";
    }
    switch (report.outcome) {
        case macros::UploadOutcome::Ok:
            return kExitOk;
        case macros::UploadOutcome::MacrosTooBig:
            std::cerr << "gmdctl: the macros do not fit the mouse's memory; remove at least "
                      << report.actionsToRemove << " actions. Nothing was sent.\n";
            return kExitCommandFailed;
        case macros::UploadOutcome::DeviceFailed:
            break;
    }
    const std::string what = "sending the " +
                             std::string(macros::UploadStepText(report.failedStep)) + " (command " +
                             std::to_string(static_cast<int>(report.failedCommand)) + ")";
    return CommandFailed(what.c_str(), report.deviceResult);
}

int Assign(gmd::CDeviceChannel& channel, const std::string& buttonText,
           const std::string& functionText) {
    const std::optional<int> button = ParseNumber(buttonText);
    if (!button || *button < 0 || *button >= macros::kMouseButtonCount) {
        return RangeRefused("the button", 0, macros::kMouseButtonCount - 1);
    }
    const std::vector<std::string> macroNames =
        macros::ReadMacroNames(macros::MacroStore::For(macros::KeyDevice::Mouse));
    // Syntax first, so a typo needs no mouse.
    std::string error;
    if (!macros::ParseFunctionText(functionText, {}, macroNames, error)) {
        std::cerr << "gmdctl: " << error << '\n';
        return kExitUsage;
    }
    if (const int rc = Connect(channel); rc != kExitOk) {
        return rc;
    }
    KeyState state;
    if (const int rc = ReadKeyState(channel, state); rc != kExitOk) {
        return rc;
    }
    const size_t n = static_cast<size_t>(*button);
    gmd::mouse::Image& image = state.blocks.mouseBankImage[static_cast<size_t>(state.profile)];
    const macros::KeyFunction defaultRecord =
        macros::ReadKeyRecord(state.blocks.mouseCurrentImage, n);
    const macros::KeyFunction record =
        *macros::ParseFunctionText(functionText, defaultRecord, macroNames, error);
    if (macros::IsOnlyLeftButton(image, n) && record != macros::ReadKeyRecord(image, n)) {
        std::cerr << "gmdctl: button " << n
                  << " is the only left button; give another button the left click first\n";
        return kExitUsage;
    }
    macros::WriteKeyRecord(image, n, record);
    if (const int rc = Upload(channel, state); rc != kExitOk) {
        return rc;
    }
    std::cout << n << ' ' << RecordHex(record) << ' ' << macros::FunctionText(record, macroNames)
              << '\n';
    return kExitOk;
}

int SaveToDevice(gmd::CDeviceChannel& channel) {
    if (const int rc = Connect(channel); rc != kExitOk) {
        return rc;
    }
    KeyState state;
    if (const int rc = ReadKeyState(channel, state); rc != kExitOk) {
        return rc;
    }
    if (const int rc = Upload(channel, state); rc != kExitOk) {
        return rc;
    }
    std::cout << "saved cursor sequences, macros and key records of profile " << state.profile
              << " to the mouse\n";
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    bool useVirtual = false;
    bool trace = false;
    bool keyboard = false;
    bool force = false;
    std::vector<std::string> words;  // the command and its arguments
    std::vector<LightOption> lightOptions;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (IsLightOption(arg)) {
            if (i + 1 >= argc) {
                std::cerr << "gmdctl: " << arg << " needs a value\n";
                return kExitUsage;
            }
            lightOptions.push_back({arg, argv[++i]});
        } else if (arg == "--virtual") {
            useVirtual = true;
        } else if (arg == "--trace") {
            trace = true;
        } else if (arg == "--keyboard") {
            keyboard = true;
        } else if (arg == "--force") {
            force = true;
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
    constexpr CommandShape kCommands[] = {{"list", 0},
                                          {"info", 0},
                                          {"dump", 0},
                                          {"settings", 0},
                                          {"set", 2},
                                          {"switch-profile", 1},
                                          {"factory-reset", 0},
                                          {"profiles", 0},
                                          {"profile-select", 2},
                                          {"profile-export", 3},
                                          {"profile-import", 2},
                                          {"light", 0},
                                          {"light-frames", 2},
                                          {"macros", 0},
                                          {"macro-show", 1},
                                          {"macro-import", 1},
                                          {"macro-export", 2},
                                          {"cursor-show", 1},
                                          {"buttons", 0},
                                          {"assign", 2},
                                          {"save-to-device", 0}};
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

    if (!lightOptions.empty() && command != "light-frames") {
        std::cerr << "gmdctl: " << lightOptions.front().name << " is an option of light-frames\n";
        return kExitUsage;
    }
    // The engine's frames need no device.
    if (command == "light-frames") {
        return LightFrames(words[1], words[2], lightOptions);
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

    // The macro and cursor commands work on files only.
    const macros::MacroStore macroStore =
        macros::MacroStore::For(keyboard ? macros::KeyDevice::Keyboard : macros::KeyDevice::Mouse);
    if (command == "macros") {
        return ListMacros(macroStore);
    }
    if (command == "macro-show") {
        return ShowMacro(macroStore, words[1]);
    }
    if (command == "macro-import") {
        return ImportMacro(macroStore, words[1]);
    }
    if (command == "macro-export") {
        return ExportMacro(macroStore, words[1], words[2], force);
    }
    if (command == "cursor-show") {
        return ShowCursor(words[1]);
    }

    Session session;
    if (useVirtual) {
        session.bus = std::make_unique<gmd::VirtualHidBus>();
        session.virtualMouse =
            std::make_unique<gmd::emu::EmulatedDevice>(gmd::DeviceKind::Mouse, *session.bus);
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
    if (command == "light") {
        return Light(channel);
    }
    if (command == "buttons") {
        return Buttons(channel);
    }
    if (command == "assign") {
        return Assign(channel, words[1], words[2]);
    }
    if (command == "save-to-device") {
        return SaveToDevice(channel);
    }
    return Reset(channel);
}
