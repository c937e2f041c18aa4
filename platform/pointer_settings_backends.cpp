// The desktop backends: GNOME through gsettings, KDE Plasma through its configuration files,
// X11 pointer acceleration through xset, and the stored-only fallback they all lean on.

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
        if (!run_) {
            return std::nullopt;
        }
        return run_(argv);
    }
    static bool NotApplied(const std::string& what, int value, const std::string& how) {
        DebugTrace(what + " " + std::to_string(value) + " not applied: " + how + " failed");
        return false;
    }

  private:
    PointerStore store_;
    CommandRunner run_;
};

// GNOME keeps the pointer speed as a double from -1 to 1; it has no wheel-lines setting.
class GnomePointerSettings final : public StoredPointerSettings {
  public:
    using StoredPointerSettings::StoredPointerSettings;

    std::string Name() const override { return "GNOME settings (wheel lines stored only)"; }
    bool AppliesPointerSpeed() const override { return true; }

    std::optional<int> PointerSpeed() override {
        if (const auto output = Run({"gsettings", "get", kGnomeMouseSchema, "speed"})) {
            if (const std::optional<double> value = ParseWholeDouble(*output)) {
                const long speed = std::lround(std::clamp(*value, -1.0, 1.0) * 10.0) + 10;
                return ClampSpeed(static_cast<int>(speed));
            }
            DebugTrace("gsettings gave no speed: " + *output);
        }
        return StoredSpeed();
    }

    bool SetPointerSpeed(int speed) override {
        speed = ClampSpeed(speed);
        if (!Run({"gsettings", "set", kGnomeMouseSchema, "speed", SpeedText(speed)})) {
            return NotApplied("pointer speed", speed, "gsettings");
        }
        StoreSpeed(speed);
        return true;
    }

  private:
    // (speed - 10) / 10 in tenths, written without the locale's decimal separator.
    static std::string SpeedText(int speed) {
        const int tenths = std::clamp(speed - 10, -10, 10);
        const int magnitude = std::abs(tenths);
        return std::string(tenths < 0 ? "-" : "") + std::to_string(magnitude / 10) + "." +
               std::to_string(magnitude % 10);
    }
};

// Plasma reads the wheel lines from kdeglobals. Its pointer acceleration lives in per-device
// input settings that only its own settings module applies, so the speed is stored only.
class KdePointerSettings final : public StoredPointerSettings {
  public:
    explicit KdePointerSettings(const PointerBackendOptions& options)
        : StoredPointerSettings(options),
          kdeGlobals_(options.kdeGlobals),
          kwriteconfig_(options.kwriteconfig) {}

    std::string Name() const override { return "KDE Plasma settings (pointer speed stored only)"; }
    bool AppliesWheelLines() const override { return true; }

    bool SetWheelLines(int lines) override {
        lines = ClampLines(lines);
        const std::string value = std::to_string(lines);
        if (!kwriteconfig_.empty()) {
            if (!Run({kwriteconfig_, "--file", "kdeglobals", "--group", "KDE", "--key",
                      "WheelScrollLines", value})) {
                return NotApplied("wheel lines", lines, kwriteconfig_);
            }
        } else if (!EditKdeGlobals(value)) {
            return NotApplied("wheel lines", lines, "editing " + kdeGlobals_.string());
        }
        StoreLines(lines);
        return true;
    }

  private:
    // Without a lock file beside it: the folder is the user's, not ours.
    bool EditKdeGlobals(const std::string& value) const {
        std::string bytes;
        std::string error;
        std::error_code ec;
        if (std::filesystem::exists(kdeGlobals_, ec) && !ReadWholeFile(kdeGlobals_, bytes, error)) {
            DebugTrace(error);
            return false;
        }
        IniDocument document = IniDocument::Parse(DecodeTextFile(bytes));
        document.Set("KDE", "WheelScrollLines", value);
        if (!WriteFileAtomically(kdeGlobals_, document.ToText(), error)) {
            DebugTrace(error);
            return false;
        }
        return true;
    }

    std::filesystem::path kdeGlobals_;
    std::string kwriteconfig_;
};

// The X server's pointer acceleration, speed / 10 as a fraction; X has no wheel-lines setting.
class X11PointerSettings final : public StoredPointerSettings {
  public:
    using StoredPointerSettings::StoredPointerSettings;

    std::string Name() const override {
        return "X11 pointer acceleration (wheel lines stored only)";
    }
    bool AppliesPointerSpeed() const override { return true; }

    std::optional<int> PointerSpeed() override {
        if (const std::optional<Control> control = Query()) {
            const double acceleration =
                static_cast<double>(control->numerator) / control->denominator;
            return ClampSpeed(static_cast<int>(std::lround(std::min(acceleration, 100.0) * 10.0)));
        }
        return StoredSpeed();
    }

    bool SetPointerSpeed(int speed) override {
        speed = ClampSpeed(speed);
        constexpr int kDefaultThreshold = 4;
        const std::optional<Control> control = Query();
        const int threshold = control ? control->threshold : kDefaultThreshold;
        const int divisor = std::gcd(speed, 10);
        const std::string fraction =
            std::to_string(speed / divisor) + "/" + std::to_string(10 / divisor);
        if (!Run({"xset", "m", fraction, std::to_string(threshold)})) {
            return NotApplied("pointer speed", speed, "xset");
        }
        StoreSpeed(speed);
        return true;
    }

  private:
    struct Control {
        int numerator;
        int denominator;
        int threshold;
    };

    // "xset q" prints a line "  acceleration:  2/1    threshold:  4".
    std::optional<Control> Query() const {
        const std::optional<std::string> output = Run({"xset", "q"});
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
