#include "mouse/mouse_page.h"

#include <algorithm>
#include <string>
#include <utility>

#include "device/command_set.h"
#include "device/device_channel.h"
#include "mouse/mouse_device.h"
#include "platform/debug_output.h"
#include "platform/ini_file.h"
#include "ui/controls.h"
#include "ui/paint_manager.h"
#include "ui/resource_manager.h"

namespace gmd::app {

namespace {

// The theme's accent marks what is active; red would read as an error.
constexpr ui::DWORD kActiveStageColour = 0xFFFF6B35;
constexpr ui::DWORD kStageColour = 0xFFFFFFFF;
constexpr const char* kOnboardStyle = "onboard_btn";
constexpr const char* kActiveOnboardStyle = "onboard_btn_active";

std::string StageName(int stage, const char* suffix) {
    return "ms_DPI" + std::to_string(stage) + suffix;
}

template <typename T>
T* Find(ui::CPaintManagerUI& pm, const std::string& name) {
    return dynamic_cast<T*>(pm.FindControl(name));
}

void SetText(ui::CPaintManagerUI& pm, const std::string& name, const std::string& text) {
    if (ui::CControlUI* control = pm.FindControl(name)) {
        control->SetText(text);
    }
}

void SetTextColour(ui::CPaintManagerUI& pm, const std::string& name, ui::DWORD colour) {
    if (ui::CControlUI* control = pm.FindControl(name)) {
        control->SetTextColor(colour);
    }
}

ui::DWORD Argb(uint8_t red, uint8_t green, uint8_t blue) {
    return 0xFF000000u | (static_cast<ui::DWORD>(red) << 16) |
           (static_cast<ui::DWORD>(green) << 8) | blue;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// PointerApplier

PointerApplier::PointerApplier(std::shared_ptr<PointerSettings> settings)
    : settings_(std::move(settings)), thread_([this] { Run(); }) {}

PointerApplier::~PointerApplier() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void PointerApplier::ApplyPointerSpeed(int speed) {
    {
        std::lock_guard lock(mutex_);
        speed_ = mouse::ClampPointerSpeed(speed);
    }
    changed_.notify_all();
}

void PointerApplier::ApplyWheelLines(int lines) {
    {
        std::lock_guard lock(mutex_);
        lines_ = std::clamp(lines, 1, 100);
    }
    changed_.notify_all();
}

void PointerApplier::Flush() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stop_ || (!speed_ && !lines_ && !busy_); });
}

void PointerApplier::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || speed_ || lines_; });
        // Values asked for before shutdown are still applied: the user chose them.
        if (!speed_ && !lines_) {
            return;
        }
        const std::optional<int> speed = std::exchange(speed_, std::nullopt);
        const std::optional<int> lines = std::exchange(lines_, std::nullopt);
        busy_ = true;
        lock.unlock();
        if (speed && !settings_->SetPointerSpeed(*speed)) {
            DebugTrace("pointer speed " + std::to_string(*speed) + " not applied (" +
                       settings_->Name() + ")");
        }
        if (lines && !settings_->SetWheelLines(*lines)) {
            DebugTrace("wheel lines " + std::to_string(*lines) + " not applied (" +
                       settings_->Name() + ")");
        }
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

// ---------------------------------------------------------------------------------------------
// MousePage

MousePage::MousePage(host::PageHost& host, std::shared_ptr<PointerSettings> pointer)
    : host_(host), pointer_(std::move(pointer)) {}

ui::CPaintManagerUI& MousePage::Pm() {
    return host_.Controls();
}

CDeviceChannel& MousePage::Channel() {
    return host_.Channel(DeviceKind::Mouse);
}

void MousePage::Startup() {
    if (const std::optional<int> speed = pointer_.Settings().PointerSpeed()) {
        blocks_.pointerSpeed = mouse::ClampPointerSpeed(*speed);
    }
    ShowPointerSpeed();
    ShowWheelLines();
    ShowPointerTips();
    DebugTrace("pointer settings: " + pointer_.Settings().Name());
}

// Tells the user where pointer speed and wheel lines go, in the language now shown.
void MousePage::ShowPointerTips() {
    PointerSettings& settings = pointer_.Settings();
    auto tip = [&settings](const char* textId) {
        std::string text = ui::CResourceManager::GetInstance()->GetText(textId);
        if (const size_t at = text.find("%s"); at != std::string::npos) {
            text.replace(at, 2, settings.Name());
        }
        return text;
    };
    if (ui::CControlUI* slider = Pm().FindControl("ms_point_speed_slider")) {
        slider->SetToolTip(
            tip(settings.AppliesPointerSpeed() ? "pointer_speed_applied" : "pointer_speed_stored"));
    }
    if (ui::CControlUI* edit = Pm().FindControl("ms_gunlun_speed_edit")) {
        edit->SetToolTip(
            tip(settings.AppliesWheelLines() ? "wheel_lines_applied" : "wheel_lines_stored"));
    }
}

void MousePage::ReadOut() {
    if (!hostBlockFromProfile_) {
        // No profile gave host block 0: start from what the mouse holds, not from zeros.
        ReadMemory(Channel(), blocks_.mouseHostBlock[0], mouse::kLiveSendSize, 0);
    }
    mouse::ReadOutMouse(Channel(), blocks_);
    host_.StoreProfile(ListId::MouseDevice);
    if (std::exchange(reportResetAfterReadOut_, false)) {
        // The caller shows the blocks next; the box waits until the pages show them.
        host_.PostToUi([this] { host_.ShowMessage("factory_reset_done"); });
    }
}

void MousePage::RefreshOnRequest() {
    mouse::RefreshMouseOnRequest(Channel(), blocks_);
    Store(true, true);
}

void MousePage::RefreshControls() {
    ui::CPaintManagerUI& pm = Pm();
    const mouse::LiveBlock& live = blocks_.mouseLive;
    namespace f = mouse::live;

    if (auto* modes = Find<ui::CTabLayoutUI>(pm, "ms_deng_mode_switch")) {
        modes->SelectItem(0);
    }
    if (blocks_.fullRefresh) {
        if (auto* combo = Find<ui::CComboUI>(pm, "ms_deng_combo_modeSelect0")) {
            combo->SelectItem(live[f::lightMode], false, true);
        }
    }
    if (auto* combo = Find<ui::CComboUI>(pm, "ms_report_fct_combo")) {
        combo->SelectItem(live[f::reportRate], false, false);
    }
    if (auto* slider = Find<ui::CSliderUI>(pm, "ms_deng_light_slider")) {
        slider->SetValue(live[f::lightBrightness]);
    }
    if (auto* slider = Find<ui::CSliderUI>(pm, "ms_deng_speed_slider")) {
        slider->SetValue(4 - live[f::lightSpeed]);
    }

    if (const auto range = mouse::SensorRangeOf(blocks_.SensorId())) {
        for (int stage = 1; stage <= mouse::kDpiStages; ++stage) {
            SetText(pm, StageName(stage, "_min"), std::string(range->min));
            SetText(pm, StageName(stage, "_max"), std::string(range->max));
        }
    }
    for (int stage = 1; stage <= mouse::kDpiStages; ++stage) {
        const int step = live[mouse::DpiStepOffset(stage)];
        if (auto* slider = Find<ui::CSliderUI>(pm, StageName(stage, "_slider"))) {
            slider->SetMinValue(0);
            slider->SetMaxValue(blocks_.DpiStepMax());
            slider->SetValue(step);
        }
        SetText(pm, StageName(stage, "_label_value"), std::to_string(mouse::DpiFromStep(step)));
        const size_t c = mouse::DpiColourOffset(stage);
        if (ui::CControlUI* button = pm.FindControl("ms_DPIcolor_btn_" + std::to_string(stage))) {
            button->SetBkColor(Argb(live[c], live[c + 1], live[c + 2]));
        }
    }

    // A stage the mouse names beyond the five it keeps marks stage 1, as the mouse falls back.
    const int active = live[f::dpiStage];
    const int marked = active < mouse::kDpiStages ? active + 1 : 1;
    for (int stage = 1; stage <= mouse::kDpiStages; ++stage) {
        const ui::DWORD colour = stage == marked ? kActiveStageColour : kStageColour;
        SetTextColour(pm, StageName(stage, "_label_rank"), colour);
        SetTextColour(pm, StageName(stage, "_label_value"), colour);
    }
    ShowActiveOnboardProfile();

    ShowColourFields();
    if (auto* check = Find<ui::COptionUI>(pm, "ms_Deng_7color_check")) {
        check->Selected(live[f::colourCycle] != 0, false);
    }
    const bool left = live[f::lightDirection] != 0;
    if (auto* check = Find<ui::COptionUI>(pm, "ms_Deng_FXL_check")) {
        check->Selected(left, false);
    }
    if (auto* check = Find<ui::COptionUI>(pm, "ms_Deng_FXR_check")) {
        check->Selected(!left, false);
    }

    ShowPointerTips();

    // Shown on every pass: after a switch, a load or an add the mouse holds the block's values,
    // and a control still showing the previous ones would be sent back with the next change.
    const int level = live[f::liftHeight];
    const char* const heights[] = {"heightLow", "heightMiddle", "heightHigh"};
    for (int i = 0; i < 3; ++i) {
        if (auto* option = Find<ui::COptionUI>(pm, heights[i])) {
            option->Selected(i == level, false);
        }
    }
    const bool lineAdjust = live[f::lineAdjust] != 0;
    if (auto* check = Find<ui::COptionUI>(pm, "ms_line_adjust")) {
        check->Selected(lineAdjust, false);
    }
    if (blocks_.fullRefresh) {
        blocks_.fullRefresh = false;
        SetLiftHeight(level);
        SetLineAdjust(lineAdjust);
    }
}

void MousePage::ShowActiveOnboardProfile() {
    const int active = blocks_.ProfileIndex();
    for (int index = 0; index < mouse::kProfileCount; ++index) {
        if (ui::CControlUI* button = Pm().FindControl("ms_profile_" + std::to_string(index))) {
            button->SetAttribute("style", index == active ? kActiveOnboardStyle : kOnboardStyle);
        }
    }
}

void MousePage::ShowColourFields() {
    ui::CPaintManagerUI& pm = Pm();
    const mouse::LiveBlock& live = blocks_.mouseLive;
    namespace f = mouse::live;
    const ui::DWORD colour = Argb(live[f::lightRed], live[f::lightGreen], live[f::lightBlue]);
    // Shown only: the blocks and the profiles stay as they are.
    if (auto* palette = Find<ui::CColorPaletteUI>(pm, "ms_deng_Color_Pallet")) {
        palette->SetSelectColor(colour);
    }
    if (ui::CControlUI* shown = pm.FindControl("ms_Deng_colordp_btn")) {
        shown->SetBkColor(colour);
    }
    SetText(pm, "ms_Deng_edit_R", std::to_string(live[f::lightRed]));
    SetText(pm, "ms_Deng_edit_G", std::to_string(live[f::lightGreen]));
    SetText(pm, "ms_Deng_edit_B", std::to_string(live[f::lightBlue]));
}

void MousePage::SendChangedLiveBlocks() {
    if (host_.TakeLiveChanged(DeviceKind::Mouse)) {
        mouse::SendMouseLive(Channel(), blocks_);
    }
}

void MousePage::MarkLiveChanged() {
    host_.MarkLiveChanged(DeviceKind::Mouse);
}

void MousePage::Store(bool light, bool device) {
    if (light) {
        host_.StoreProfile(ListId::MouseLight);
    }
    if (device) {
        host_.StoreProfile(ListId::MouseDevice);
    }
}

// ---- handlers -------------------------------------------------------------------------------

void MousePage::ChangeLive(size_t offset, int value) {
    const mouse::LiveField* field = mouse::LiveFieldAt(offset);
    if (field == nullptr) {
        return;
    }
    // Bounded as the tool bounds it; before the mouse told its highest DPI step, by the field.
    const int stepMax = blocks_.DpiStepMax() > 0 ? blocks_.DpiStepMax() : field->max;
    {
        std::lock_guard lock(blocks_.lightMutex);
        mouse::WriteLiveField(blocks_.mouseLive, *field,
                              mouse::ClampToField(*field, value, stepMax));
    }
    MarkLiveChanged();
    Store(field->inLightProfile, true);
}

void MousePage::SetBrightness(int value) {
    ChangeLive(mouse::live::lightBrightness, value);
}

void MousePage::SetLightSpeed(int sliderValue) {
    ChangeLive(mouse::live::lightSpeed, 4 - sliderValue);
}

void MousePage::SetDpiStage(int stage, int position) {
    if (stage < 1 || stage > mouse::kDpiStages) {
        return;
    }
    ShowDpiStageValue(stage, position);
    ChangeLive(mouse::DpiStepOffset(stage), position);
}

void MousePage::ShowDpiStageValue(int stage, int position) {
    SetText(Pm(), StageName(stage, "_label_value"), std::to_string(mouse::DpiFromStep(position)));
}

void MousePage::SetReportRate(int item) {
    if (item < 0) {
        return;  // nothing selected
    }
    ChangeLive(mouse::live::reportRate, item);
}

void MousePage::SetDpiStageColour(int stage, uint32_t argb) {
    if (stage < 1 || stage > mouse::kDpiStages) {
        return;
    }
    ChangeLive(mouse::DpiColourOffset(stage), static_cast<int>(argb & 0xFFFFFFu));
}

void MousePage::SetColourCycle(bool on) {
    ChangeLive(mouse::live::colourCycle, on ? 1 : 0);
}

void MousePage::SetLightDirection(bool left) {
    // Both directions go into both profiles, so the device profile never keeps a stale one.
    ChangeLive(mouse::live::lightDirection, left ? 1 : 0);
}

void MousePage::SetLiftHeight(int level) {
    ChangeLive(mouse::live::liftHeight, level);
}

void MousePage::SetLineAdjust(bool on) {
    ChangeLive(mouse::live::lineAdjust, on ? 1 : 0);
}

void MousePage::SetPointerSpeed(int position) {
    blocks_.pointerSpeed = mouse::PointerSpeedFromPosition(position);
    pointer_.ApplyPointerSpeed(blocks_.pointerSpeed);
    Store(true, true);
}

void MousePage::SetWheelLines(int lines) {
    // The value is kept in one byte of the profile; the desktop takes 1-100.
    blocks_.wheelLines = std::clamp(lines, 1, 100);
    pointer_.ApplyWheelLines(blocks_.wheelLines);
    Store(false, true);
}

void MousePage::StepWheelLines(bool up) {
    int shown = 0;
    if (ui::CControlUI* edit = Pm().FindControl("ms_gunlun_speed_edit")) {
        shown = ParseLeadingInt(edit->GetText());
    }
    blocks_.wheelLines = mouse::StepWheelLines(shown, up);
    ShowWheelLines();
    pointer_.ApplyWheelLines(blocks_.wheelLines);
    Store(true, true);
}

void MousePage::SwitchOnboardProfile(int index) {
    if (mouse::SwitchOnboardProfile(Channel(), blocks_, index) != mouse::SwitchOutcome::Switched) {
        return;
    }
    if (ui::CControlUI* panel = Pm().FindControl("ms_tab_function")) {
        panel->SetVisible(false);
    }
    RefreshControls();
}

void MousePage::RestoreDefaults() {
    // It erases what the mouse keeps: only on the user's word.
    if (!host_.Ask("confirm_factory_reset")) {
        return;
    }
    if (FactoryReset(Channel()) != kResultSuccess) {
        host_.ShowMessage("factory_reset_failed");
        return;
    }
    PutHostSettings(10, 3);
    // The mouse now holds its factory settings; read them back, from the mouse and not from the
    // profile in force, so the pages, the profile and the next send do not carry the old ones.
    // The user is told once the pages show them.
    hostBlockFromProfile_ = false;
    reportResetAfterReadOut_ = true;
    host_.ReadOutLater(DeviceKind::Mouse, 500);
}

// ---- profiles -------------------------------------------------------------------------------

std::vector<std::pair<ListId, host::ProfileListBinding>> MousePage::ProfileBindings() {
    auto& image = blocks_.mouseBankImage[0];
    host::ProfileListBinding device{
        [this] { return blocks_.DeviceBlob(); },
        [this](std::span<const uint8_t> blob) {
            blocks_.LoadDeviceBlob(blob, SystemPointerSpeed());
        },
        [this] { ApplyDeviceProfile(); },
        [this](std::span<const uint8_t> blob) { ResetDeviceProfile(blob); }};
    host::ProfileListBinding light{
        [this] {
            const auto blob = blocks_.LightBlob();
            return std::vector<uint8_t>(blob.begin(), blob.end());
        },
        [this](std::span<const uint8_t> blob) { blocks_.LoadLightBlob(blob); },
        [this] { ApplyLightProfile(); },
        [this](std::span<const uint8_t> blob) { ResetLightProfile(blob); }};
    host::ProfileListBinding key{
        [&image] { return std::vector<uint8_t>(image.begin(), image.end()); },
        [&image](std::span<const uint8_t> blob) {
            if (blob.size() >= image.size()) {
                std::copy_n(blob.begin(), image.size(), image.begin());
            }
        },
        [this] { ApplyKeyProfile(); },
        [this](std::span<const uint8_t> blob) { ResetKeyProfile(blob); }};
    return {{ListId::MouseDevice, std::move(device)},
            {ListId::MouseLight, std::move(light)},
            {ListId::MouseKey, std::move(key)}};
}

void MousePage::ApplyDeviceProfile() {
    hostBlockFromProfile_ = true;
    ShowPointerSpeed();
    pointer_.ApplyPointerSpeed(blocks_.pointerSpeed);
    ShowWheelLines();
    pointer_.ApplyWheelLines(blocks_.wheelLines);
    RefreshControls();
    CDeviceChannel& channel = Channel();
    WriteMemory(channel, std::span<const uint8_t>(blocks_.mouseHostBlock[0]), mouse::kLiveSize, 0);
    MarkLiveChanged();
    WriteBankImage(channel, blocks_.mouseBankImage[0], 0);
}

void MousePage::ApplyLightProfile() {
    hostBlockFromProfile_ = true;
    ShowPointerSpeed();
    ShowWheelLines();
    pointer_.ApplyWheelLines(blocks_.wheelLines);
    RefreshControls();
    MarkLiveChanged();
}

void MousePage::ApplyKeyProfile() {
    if (ui::CControlUI* panel = Pm().FindControl("ms_tab_function"); panel && panel->IsVisible()) {
        panel->SetVisible(false);
        panel->SetEnabled(false);
    }
    WriteBankImage(Channel(), blocks_.mouseBankImage[0], 0);
}

void MousePage::ResetDeviceProfile(std::span<const uint8_t> blob) {
    if (blob.size() < mouse::kDeviceBlobSize) {
        return;
    }
    {
        std::lock_guard lock(blocks_.lightMutex);
        std::copy_n(blob.begin(), mouse::kImageSize, blocks_.mouseBankImage[0].begin());
        std::copy_n(blob.begin() + mouse::kImageSize, mouse::kHostBlockSize,
                    blocks_.mouseHostBlock[0].begin());
        std::copy_n(blocks_.mouseHostBlock[0].begin(), mouse::kLiveSize, blocks_.mouseLive.begin());
    }
    hostBlockFromProfile_ = true;
    // Stored before pointer speed and wheel lines change: the file keeps the previous two.
    host_.StoreProfile(ListId::MouseDevice);
    blocks_.fullRefresh = true;
    RefreshControls();
    MarkLiveChanged();
    PutHostSettings(10, 3);
    WriteBankImage(Channel(), blocks_.mouseBankImage[0], 0);
}

void MousePage::ResetLightProfile(std::span<const uint8_t> blob) {
    if (blob.size() < mouse::kLiveSendSize) {
        return;
    }
    {
        std::lock_guard lock(blocks_.lightMutex);
        std::copy_n(blob.begin(), mouse::kLiveSendSize, blocks_.mouseHostBlock[0].begin());
        std::copy_n(blocks_.mouseHostBlock[0].begin(), mouse::kLiveSize, blocks_.mouseLive.begin());
    }
    hostBlockFromProfile_ = true;
    host_.StoreProfile(ListId::MouseLight);
    host_.StoreProfile(ListId::MouseDevice);
    RefreshControls();
    MarkLiveChanged();
    PutHostSettings(10, 1);
}

void MousePage::ResetKeyProfile(std::span<const uint8_t> blob) {
    if (blob.size() < mouse::kImageSize) {
        return;
    }
    std::copy_n(blob.begin(), mouse::kImageSize, blocks_.mouseBankImage[0].begin());
    host_.StoreProfile(ListId::MouseKey);
    RefreshControls();
    WriteBankImage(Channel(), blocks_.mouseBankImage[0], 0);
}

void MousePage::PutHostSettings(int speed, int lines) {
    blocks_.pointerSpeed = speed;
    ShowPointerSpeed();
    pointer_.ApplyPointerSpeed(speed);
    blocks_.wheelLines = lines;
    ShowWheelLines();
    pointer_.ApplyWheelLines(lines);
}

int MousePage::SystemPointerSpeed() {
    return mouse::ClampPointerSpeed(
        pointer_.Settings().PointerSpeed().value_or(blocks_.pointerSpeed));
}

void MousePage::ShowPointerSpeed() {
    if (auto* slider = Find<ui::CSliderUI>(Pm(), "ms_point_speed_slider")) {
        slider->SetValue(mouse::PositionFromPointerSpeed(blocks_.pointerSpeed));
    }
}

void MousePage::ShowWheelLines() {
    SetText(Pm(), "ms_gunlun_speed_edit", std::to_string(blocks_.wheelLines));
}

}  // namespace gmd::app
