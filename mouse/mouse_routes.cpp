// The mouse settings' routes: the performance page and the lighting fields the mouse page keeps.

#include "mouse/mouse_routes.h"

#include <array>
#include <string>
#include <utility>

#include "ui/controls.h"
#include "ui/paint_manager.h"

namespace gmd::mouse {

namespace {

using ::gmd::host::Event;
using Ops = MouseOperations;

ui::COptionUI* Option(const Event& e, const std::string& name) {
    ui::CPaintManagerUI* pm = e.sender.GetManager();
    return pm != nullptr ? dynamic_cast<ui::COptionUI*>(pm->FindControl(name)) : nullptr;
}

void Deselect(const Event& e, const std::string& name) {
    if (ui::COptionUI* option = Option(e, name)) {
        option->Selected(false, false);
    }
}

}  // namespace

::gmd::host::RouteTable<MouseOperations> MouseRoutes() {
    ::gmd::host::RouteTable<Ops> t;
    auto add = [&t](const char* type, std::string name, auto run) {
        t.push_back({type, std::move(name), std::move(run)});
    };

    // The three lift heights behave as one group; the other two drop their selection silently.
    const std::array<std::pair<const char*, int>, 3> heights = {
        {{"heightHigh", 2}, {"heightMiddle", 1}, {"heightLow", 0}}};
    for (const auto& [name, level] : heights) {
        add("click", name, [heights, lv = level](Ops& ops, const Event& e) {
            for (const auto& other : heights) {
                if (other.second != lv) {
                    Deselect(e, other.first);
                }
            }
            ops.SetLiftHeight(lv);
        });
    }
    add("click", "ms_gunlun_speed_up_btn",
        [](Ops& ops, const Event&) { ops.StepWheelLines(true); });
    add("click", "ms_gunlun_speed_down_btn",
        [](Ops& ops, const Event&) { ops.StepWheelLines(false); });
    add("click", "ms_one_profile_default", [](Ops& ops, const Event&) { ops.RestoreDefaults(); });
    t.push_back({"click", "ms_profile_",
                 [](Ops& ops, const Event& e) { ops.SwitchOnboardProfile(e.index); },
                 ::gmd::host::Match::IndexedPrefix});

    // Buttons for the two light directions act like the check boxes.
    for (const bool left : {true, false}) {
        add("click", left ? "ms_Deng_FXL_btn" : "ms_Deng_FXR_btn",
            [left](Ops& ops, const Event& e) {
                if (ui::COptionUI* l = Option(e, "ms_Deng_FXL_check")) {
                    l->Selected(left, false);
                }
                if (ui::COptionUI* r = Option(e, "ms_Deng_FXR_check")) {
                    r->Selected(!left, false);
                }
                ops.SetLightDirection(left);
            });
        // Of the two checks at most one is selected: selecting one drops the other silently.
        add("selectchanged", left ? "ms_Deng_FXL_check" : "ms_Deng_FXR_check",
            [left](Ops& ops, const Event& e) {
                if (!e.selected) {
                    return;
                }
                Deselect(e, left ? "ms_Deng_FXR_check" : "ms_Deng_FXL_check");
                ops.SetLightDirection(left);
            });
    }
    add("selectchanged", "ms_Deng_7color_check",
        [](Ops& ops, const Event& e) { ops.SetColourCycle(e.selected); });
    add("selectchanged", "ms_line_adjust",
        [](Ops& ops, const Event& e) { ops.SetLineAdjust(e.selected); });

    // While a slider is dragged only the DPI labels follow it; the sixth stage only shows.
    for (int stage = 1; stage <= 6; ++stage) {
        const std::string slider = "ms_DPI" + std::to_string(stage) + "_slider";
        add("movevaluechanged", slider,
            [stage](Ops& ops, const Event& e) { ops.ShowDpiStageValue(stage, e.value); });
        if (stage <= 5) {
            add("valuechanged", slider,
                [stage](Ops& ops, const Event& e) { ops.SetDpiStage(stage, e.value); });
        }
    }
    add("valuechanged", "ms_deng_light_slider",
        [](Ops& ops, const Event& e) { ops.SetBrightness(e.value); });
    add("valuechanged", "ms_deng_speed_slider",
        [](Ops& ops, const Event& e) { ops.SetLightSpeed(e.value); });
    add("valuechanged", "ms_point_speed_slider",
        [](Ops& ops, const Event& e) { ops.SetPointerSpeed(e.value); });
    add("itemselect", "ms_report_fct_combo",
        [](Ops& ops, const Event& e) { ops.SetReportRate(e.value); });

    // The wheel lines are kept within 1-100 while typed and take effect when the edit loses the
    // focus.
    t.push_back({"textchanged", "ms_gunlun_speed_edit", [](Ops&, const Event&) {},
                 ::gmd::host::Match::Name, ::gmd::host::EditLimits{1, 100}});
    add("killfocus", "ms_gunlun_speed_edit",
        [](Ops& ops, const Event& e) { ops.SetWheelLines(e.value); });
    return t;
}

}  // namespace gmd::mouse
