// The desktop backends: GNOME through gsettings, KDE Plasma through its configuration files,
// X11 input devices through xinput (xset for drivers other than libinput), and the stored-only
// fallback they all lean on.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <numeric>

#include "platform/atomic_file.h"
#include "platform/debug_output.h"
#include "platform/ini_file.h"
#include "platform/pointer_settings_backends.h"

namespace gmd {

namespace {

constexpr int kMinSpeed = 1;
constexpr int kMaxSpeed = 20;
constexpr int kMinLines = 1;
constexpr int kMaxLines = 100;

constexpr const char* kStoreSection = "Pointer";
constexpr const char* kSpeedKey = "Speed";
constexpr const char* kWheelLinesKey = "WheelLines";

// A whole decimal number and nothing else.
std::optional<int> ParseWholeInt(std::string_view text) {
    text = Trim(text);
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> ParseWholeDouble(std::string_view text) {
    text = Trim(text);
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// Nothing runs without a runner (the stored-only backend has none).
std::optional<std::string> RunHelper(const CommandRunner& run,
                                     const std::vector<std::string>& argv) {
    if (!run) {
        return std::nullopt;
    }
    return run(argv);
}

// Values kept by us, in an INI file written atomically.
class PointerStore {
  public:
    explicit PointerStore(std::filesystem::path file) : file_(std::move(file)) {}

    std::optional<int> Get(const char* key, int min, int max) const {
        const std::string text = IniReadString(file_, kStoreSection, key, "");
        if (text.empty()) {
            return std::nullopt;
        }
        const std::optional<int> value = ParseWholeInt(text);
        if (!value) {
            DebugTrace(file_.string() + ": [" + kStoreSection + "] " + key +
                       " is not a number: " + text);
            return std::nullopt;
        }
        return std::clamp(*value, min, max);
    }

    bool Set(const char* key, int value) const {
        std::string error;
        if (!IniWriteString(file_, kStoreSection, key, std::to_string(value), &error)) {
            DebugTrace("cannot store " + std::string(key) + ": " + error);
            return false;
        }
        return true;
    }

  private:
    std::filesystem::path file_;
};

// Keeps both values; the desktop backends build on it for what they cannot apply.
class StoredPointerSettings : public PointerSettings {
  public:
    explicit StoredPointerSettings(const PointerBackendOptions& options)
        : store_(options.storeFile), run_(options.run) {}

    std::string Name() const override { return "stored only (no desktop setting applied)"; }
    bool AppliesPointerSpeed() const override { return false; }
    bool AppliesWheelLines() const override { return false; }
    std::optional<int> PointerSpeed() override { return StoredSpeed(); }
    bool SetPointerSpeed(int speed) override { return StoreSpeed(ClampSpeed(speed)); }
    bool SetWheelLines(int lines) override { return StoreLines(ClampLines(lines)); }

  protected:
    static int ClampSpeed(int speed) { return std::clamp(speed, kMinSpeed, kMaxSpeed); }
    static int ClampLines(int lines) { return std::clamp(lines, kMinLines, kMaxLines); }
    std::optional<int> StoredSpeed() const { return store_.Get(kSpeedKey, kMinSpeed, kMaxSpeed); }
    bool StoreSpeed(int speed) const { return store_.Set(kSpeedKey, speed); }
    bool StoreLines(int lines) const { return store_.Set(kWheelLinesKey, lines); }

    std::optional<std::string> Run(const std::vector<std::string>& argv) const {
        return RunHelper(run_, argv);
    }
    static bool NotApplied(const std::string& what, int value, const std::string& how) {
        DebugTrace(what + " " + std::to_string(value) + " not applied: " + how + " failed");
        return false;
    }

  private:
    PointerStore store_;
    CommandRunner run_;
};

// The -1..1 scale of libinput, which GNOME, Plasma and the X11 libinput driver all use:
// linear, (speed - 10) / 10, so 10 is 0 (unchanged), 20 is 1 and 1 is -0.9. Read back, a value
// is rounded to the nearest tenth and taken into 1-20, so -1 reads as 1.
std::string UnitSpeedText(int speed) {
    // In tenths, written without the locale's decimal separator.
    const int tenths = std::clamp(speed, kMinSpeed, kMaxSpeed) - 10;
    const int magnitude = std::abs(tenths);
    return std::string(tenths < 0 ? "-" : "") + std::to_string(magnitude / 10) + "." +
           std::to_string(magnitude % 10);
}

int SpeedFromUnit(double value) {
    const long speed = std::lround(std::clamp(value, -1.0, 1.0) * 10.0) + 10;
    return std::clamp(static_cast<int>(speed), kMinSpeed, kMaxSpeed);
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

constexpr int kMaxXDeviceId = 65535;

// "xinput list --short": one device a line, "NAME<tab>id=N<tab>[USE]", USE "slave  pointer
// (2)" for the pointers that move the cursor. Names are the devices' own and may hold anything,
// so the last "id=" of a line counts.
std::vector<int> XinputPointerIds(std::string_view listing) {
    std::vector<int> ids;
    for (const std::string_view line : Lines(listing)) {
        const size_t at = line.rfind("\tid=");
        if (at == std::string_view::npos) {
            continue;
        }
        const std::string_view rest = line.substr(at + 4);
        const size_t tab = rest.find('\t');
        if (tab == std::string_view::npos || rest.substr(tab + 1, 1) != "[") {
            continue;
        }
        const std::string_view use = rest.substr(tab + 2);
        if (use.rfind("slave", 0) != 0 || use.find("pointer") == std::string_view::npos) {
            continue;  // master devices, keyboards, floating devices
        }
        const std::optional<int> id = ParseWholeInt(rest.substr(0, tab));
        if (id && *id > 0 && *id <= kMaxXDeviceId &&
            std::find(ids.begin(), ids.end(), *id) == ids.end()) {
            ids.push_back(*id);
        }
    }
    return ids;
}

// "xinput list-props ID": one property a line, "<tab>NAME (ATOM):<tab>VALUES". The values of
// the property of exactly that name, nullopt when the device has none.
std::optional<std::string_view> XinputProperty(std::string_view properties, std::string_view name) {
    for (const std::string_view line : Lines(properties)) {
        const std::string_view entry = Trim(line);
        if (entry.size() <= name.size() || entry.substr(0, name.size()) != name ||
            entry.substr(name.size(), 2) != " (") {
            continue;
        }
        const std::string_view rest = entry.substr(name.size() + 2);
        const size_t close = rest.find("):");
        if (close == std::string_view::npos || close == 0 ||
            rest.substr(0, close).find_first_not_of("0123456789") != std::string_view::npos) {
            continue;
        }
        return Trim(rest.substr(close + 2));
    }
    return std::nullopt;
}

constexpr const char* kLibinputAccelSpeed = "libinput Accel Speed";

// The X server's pointers. Devices of the libinput driver (the default one) ignore the core
// pointer acceleration, so they take the speed through their "libinput Accel Speed" property;
// xset m serves the other drivers, and every device when xinput is missing.
class X11Pointers {
  public:
    explicit X11Pointers(CommandRunner run) : run_(std::move(run)) {}

    // From the first libinput pointer, else from the core pointer acceleration.
    std::optional<int> Speed() const {
        if (const std::optional<std::vector<int>> ids = PointerIds()) {
            for (const int id : *ids) {
                const std::optional<std::string> properties = Properties(id);
                const std::optional<std::string_view> value =
                    properties ? XinputProperty(*properties, kLibinputAccelSpeed) : std::nullopt;
                if (const std::optional<double> unit =
                        value ? ParseWholeDouble(*value) : std::nullopt) {
                    return SpeedFromUnit(*unit);
                }
            }
        }
        if (const std::optional<Control> control = Query()) {
            // The inverse of SetCoreAcceleration.
            const double acceleration =
                static_cast<double>(control->numerator) / control->denominator;
            return std::clamp(static_cast<int>(std::lround(std::min(acceleration, 100.0) * 5.0)),
                              kMinSpeed, kMaxSpeed);
        }
        return std::nullopt;
    }

    // True when at least one way took the value; each failure is logged.
    bool SetSpeed(int speed) const {
        bool applied = false;
        bool needXset = true;
        if (const std::optional<std::vector<int>> ids = PointerIds()) {
            bool otherDrivers = false;
            int libinput = 0;
            for (const int id : *ids) {
                const std::optional<std::string> properties = Properties(id);
                if (!properties) {
                    continue;  // gone since the listing
                }
                if (XinputProperty(*properties, kLibinputAccelSpeed)) {
                    ++libinput;
                    if (RunHelper(run_, {"xinput", "set-prop", std::to_string(id),
                                         kLibinputAccelSpeed, UnitSpeedText(speed)})) {
                        applied = true;
                    } else {
                        DebugTrace("pointer speed not set on X input device " + std::to_string(id));
                    }
                } else if (XinputProperty(*properties, "XTEST Device") != "1") {
                    otherDrivers = true;  // the server's own test pointer is no device
                }
            }
            needXset = otherDrivers || libinput == 0;
        } else {
            DebugTrace("xinput gave no device list: pointer speed through xset m only");
        }
        if (needXset && SetCoreAcceleration(speed)) {
            applied = true;
        }
        return applied;
    }

  private:
    struct Control {
        int numerator;
        int denominator;
        int threshold;
    };

    std::optional<std::vector<int>> PointerIds() const {
        const std::optional<std::string> listing = RunHelper(run_, {"xinput", "list", "--short"});
        if (!listing) {
            return std::nullopt;
        }
        return XinputPointerIds(*listing);
    }

    std::optional<std::string> Properties(int id) const {
        return RunHelper(run_, {"xinput", "list-props", std::to_string(id)});
    }

    // acceleration = speed / 5, so 10 is the server's default 2/1; the threshold stays.
    bool SetCoreAcceleration(int speed) const {
        constexpr int kDefaultThreshold = 4;
        const std::optional<Control> control = Query();
        const int threshold = control ? control->threshold : kDefaultThreshold;
        const int divisor = std::gcd(speed, 5);
        const std::string fraction =
            std::to_string(speed / divisor) + "/" + std::to_string(5 / divisor);
        if (!RunHelper(run_, {"xset", "m", fraction, std::to_string(threshold)})) {
            DebugTrace("pointer speed " + std::to_string(speed) + " not applied: xset failed");
            return false;
        }
        return true;
    }

    // "xset q" prints a line "  acceleration:  2/1    threshold:  4".
    std::optional<Control> Query() const {
        const std::optional<std::string> output = RunHelper(run_, {"xset", "q"});
        if (!output) {
            return std::nullopt;
        }
        const std::string_view text = *output;
        const size_t accel = text.find("acceleration:");
        const size_t slash = text.find('/', accel);
        const size_t thresh = text.find("threshold:", accel);
        if (accel == std::string_view::npos || slash == std::string_view::npos ||
            thresh == std::string_view::npos || slash > thresh) {
            DebugTrace("xset q gave no pointer control");
            return std::nullopt;
        }
        const size_t numberStart = accel + std::string_view("acceleration:").size();
        const size_t thresholdStart = thresh + std::string_view("threshold:").size();
        const size_t lineEnd = std::min(text.find('\n', thresholdStart), text.size());
        const auto numerator = ParseWholeInt(text.substr(numberStart, slash - numberStart));
        const auto denominator = ParseWholeInt(text.substr(slash + 1, thresh - slash - 1));
        const auto threshold = ParseWholeInt(text.substr(thresholdStart, lineEnd - thresholdStart));
        if (!numerator || !denominator || !threshold || *numerator < 0 || *denominator <= 0 ||
            *threshold < 0) {
            DebugTrace("xset q gave an unreadable pointer control");
            return std::nullopt;
        }
        return Control{*numerator, *denominator, *threshold};
    }

    CommandRunner run_;
};

// GNOME keeps the pointer speed on the -1..1 scale; it has no wheel-lines setting.
class GnomePointerSettings final : public StoredPointerSettings {
  public:
    using StoredPointerSettings::StoredPointerSettings;

    std::string Name() const override { return "GNOME settings; GNOME has no wheel-lines setting"; }
    bool AppliesPointerSpeed() const override { return true; }

    std::optional<int> PointerSpeed() override {
        if (const auto output = Run({"gsettings", "get", kGnomeMouseSchema, "speed"})) {
            if (const std::optional<double> value = ParseWholeDouble(*output)) {
                return SpeedFromUnit(*value);
            }
            DebugTrace("gsettings gave no speed: " + *output);
        }
        return StoredSpeed();
    }

    bool SetPointerSpeed(int speed) override {
        speed = ClampSpeed(speed);
        if (!Run({"gsettings", "set", kGnomeMouseSchema, "speed", UnitSpeedText(speed)})) {
            return NotApplied("pointer speed", speed, "gsettings");
        }
        StoreSpeed(speed);
        return true;
    }
};

// Plasma reads the wheel lines from kdeglobals and, on X11, applies the pointer acceleration
// in kcminputrc to every libinput pointer when the session starts. Under Wayland KWin keeps
// its own per-device settings, so there the speed is only kept.
class KdePointerSettings final : public StoredPointerSettings {
  public:
    explicit KdePointerSettings(const PointerBackendOptions& options)
        : StoredPointerSettings(options),
          kdeGlobals_(options.kdeGlobals),
          kdeInputRc_(options.kdeInputRc),
          kwriteconfig_(options.kwriteconfig),
          kreadconfig_(options.kreadconfig),
          x11Session_(options.x11Session),
          x11_(options.run) {}

    std::string Name() const override {
        return x11Session_ ? "KDE Plasma settings, pointer speed also on the X11 input devices"
                           : "KDE Plasma settings; under Wayland the pointer speed is only "
                             "saved, for Plasma on X11";
    }
    bool AppliesPointerSpeed() const override { return x11Session_; }
    bool AppliesWheelLines() const override { return true; }

    std::optional<int> PointerSpeed() override {
        if (const std::optional<double> value = ReadAcceleration()) {
            return SpeedFromUnit(*value);
        }
        if (x11Session_) {
            if (const std::optional<int> speed = x11_.Speed()) {
                return speed;
            }
        }
        return StoredSpeed();
    }

    bool SetPointerSpeed(int speed) override {
        speed = ClampSpeed(speed);
        const bool written =
            Write(kdeInputRc_, "kcminputrc", "Mouse", kAccelerationKey, UnitSpeedText(speed));
        if (!x11Session_) {
            return StoreSpeed(speed);
        }
        if (!x11_.SetSpeed(speed) && !written) {
            return NotApplied("pointer speed", speed, "kcminputrc and the X11 devices");
        }
        StoreSpeed(speed);
        return true;
    }

    bool SetWheelLines(int lines) override {
        lines = ClampLines(lines);
        if (!Write(kdeGlobals_, "kdeglobals", "KDE", "WheelScrollLines", std::to_string(lines))) {
            return NotApplied("wheel lines", lines, "writing kdeglobals");
        }
        StoreLines(lines);
        return true;
    }

  private:
    static constexpr const char* kAccelerationKey = "XLbInptPointerAcceleration";

    std::optional<double> ReadAcceleration() const {
        std::string text;
        if (!kreadconfig_.empty()) {
            const std::optional<std::string> output =
                Run({kreadconfig_, "--file", "kcminputrc", "--group", "Mouse", "--key",
                     kAccelerationKey});
            if (!output) {
                return std::nullopt;
            }
            text = *output;
        } else {
            text = IniReadString(kdeInputRc_, "Mouse", kAccelerationKey, "");
        }
        if (Trim(text).empty()) {
            return std::nullopt;  // never set: Plasma's default
        }
        const std::optional<double> value = ParseWholeDouble(text);
        if (!value) {
            DebugTrace("kcminputrc holds no pointer acceleration: " + text);
        }
        return value;
    }

    // Through kwriteconfig when it is there, else the file edited in place.
    bool Write(const std::filesystem::path& file, const char* fileName, const char* group,
               const char* key, const std::string& value) const {
        if (!kwriteconfig_.empty()) {
            if (Run({kwriteconfig_, "--file", fileName, "--group", group, "--key", key, value})) {
                return true;
            }
            DebugTrace(kwriteconfig_ + " could not write " + fileName);
            return false;
        }
        return EditInPlace(file, group, key, value);
    }

    // Without a lock file beside it: the folder is the user's, not ours.
    static bool EditInPlace(const std::filesystem::path& file, const char* group, const char* key,
                            const std::string& value) {
        std::string bytes;
        std::string error;
        if (PathExists(file) && !ReadWholeFile(file, bytes, error, kIniMaxBytes)) {
            DebugTrace(error);
            return false;
        }
        IniDocument document = IniDocument::Parse(bytes);
        document.Set(group, key, value);
        if (!WriteFileAtomically(file, document.ToText(), error)) {
            DebugTrace(error);
            return false;
        }
        return true;
    }

    std::filesystem::path kdeGlobals_;
    std::filesystem::path kdeInputRc_;
    std::string kwriteconfig_;
    std::string kreadconfig_;
    bool x11Session_;
    X11Pointers x11_;
};

// An X11 session without a desktop that keeps these settings; X has no wheel-lines setting.
// What is set lasts until the X server ends.
class X11PointerSettings final : public StoredPointerSettings {
  public:
    explicit X11PointerSettings(const PointerBackendOptions& options)
        : StoredPointerSettings(options), x11_(options.run) {}

    std::string Name() const override {
        return "X11 input devices through xinput, else xset, until the X session ends; X has "
               "no wheel-lines setting";
    }
    bool AppliesPointerSpeed() const override { return true; }

    std::optional<int> PointerSpeed() override {
        if (const std::optional<int> speed = x11_.Speed()) {
            return speed;
        }
        return StoredSpeed();
    }

    bool SetPointerSpeed(int speed) override {
        speed = ClampSpeed(speed);
        if (!x11_.SetSpeed(speed)) {
            return NotApplied("pointer speed", speed, "xinput and xset");
        }
        StoreSpeed(speed);
        return true;
    }

  private:
    X11Pointers x11_;
};

}  // namespace

std::unique_ptr<PointerSettings> MakePointerSettings(PointerDesktop desktop,
                                                     PointerBackendOptions options) {
    switch (desktop) {
        case PointerDesktop::Gnome:
            return std::make_unique<GnomePointerSettings>(options);
        case PointerDesktop::Kde:
            return std::make_unique<KdePointerSettings>(options);
        case PointerDesktop::X11:
            return std::make_unique<X11PointerSettings>(options);
        case PointerDesktop::StoredOnly:
            break;
    }
    return std::make_unique<StoredPointerSettings>(options);
}

}  // namespace gmd
