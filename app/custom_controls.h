#pragma once
// The system's own control classes, drawn with QPainter: a circular progress indicator, the
// keyboard key button with a light and a key-set marker, a native-window host and a chart view.
//
// Image strings are drawn stretched over their target rectangle. The key light is drawn
// "tinted": the image's pixels are multiplied by the light colour's red, green and blue (the
// top byte of the colour is ignored) and the result is laid over the key with an opacity of
// light alpha / 255. The key-set marker is drawn as it is, fully opaque.

#include <string>
#include <vector>

#include "ui/controls.h"

class QPainter;

namespace gmd::app {

using ui::AttrStatus;
using ui::DWORD;

class CCircleProgressUI : public ui::CProgressUI {
  public:
    ~CCircleProgressUI() override;
    std::string GetClass() const override;  // "CircleProgress"
    // Paint steps, public so they can be drawn onto any device.
    void PaintBkColor(QPainter& painter, const QRect& rect) const;
    void PaintForeColor(QPainter& painter, const QRect& rect) const;
    void PaintForeImage(QPainter& painter, const QRect& rect) const;  // draws nothing
    void PaintText(QPainter& painter, const QRect& rect) const;
    // All steps in order: background ellipse, foreground pie and white centre, text.
    void Paint(QPainter& painter, const QRect& rect) const;
    // Sweep in whole degrees: value / (max - min) * 360, the minimum not subtracted (0 when
    // max == min).
    int SweepAngle() const;

  protected:
    QWidget* CreateWidget() override;
    void UpdateStyle() override;
};

class CDeviceKeyButtonUI : public ui::CButtonUI {
  public:
    CDeviceKeyButtonUI();
    ~CDeviceKeyButtonUI() override;
    std::string GetClass() const override;  // "DeviceKeyButton"
    AttrStatus SetAttribute(const std::string& name, const std::string& value) override;
    // Colour 0x..RRGGBB tints the light image, alpha 0-255 is its opacity. Stored only: the
    // caller's periodic repaint shows it through FlushLight.
    void SetLight(DWORD color, DWORD alpha, bool on);
    // Repaints when the light changed since the last flush; true when it did.
    bool FlushLight();
    void SetKeySetHidden(bool hidden);
    bool IsKeySetHidden() const { return keySetHidden_; }
    bool IsLightOn() const { return lightOn_; }
    DWORD GetLightColor() const { return lightColor_; }
    DWORD GetLightAlpha() const { return lightAlpha_; }
    const std::string& GetLightImage() const { return lightImage_; }
    const std::string& GetKeySetImage() const { return keySetImage_; }
    // Status image: the button's own, then the light, then the key-set marker.
    void PaintStatusImage(QPainter& painter, const QRect& rect) const;
    // The button's own image for its state (normal, hot, pushed or disabled).
    void PaintButtonImage(QPainter& painter, const QRect& rect) const;
    // What this class draws over the button: the light and the key-set marker.
    void PaintOverlays(QPainter& painter, const QRect& rect) const;
    // How many times the control asked to be repainted (key-set changes repaint only on change).
    int RepaintRequests() const { return repaintRequests_; }

  protected:
    QWidget* CreateWidget() override;

  private:
    void RequestRepaint();

    std::string lightImage_;
    std::string keySetImage_;
    bool keySetHidden_ = true;
    bool lightOn_ = false;
    bool lightPending_ = false;
    DWORD lightColor_ = 255;
    DWORD lightAlpha_ = 200;
    int repaintRequests_ = 0;
    QPointer<QWidget> keyOverlay_;  // child of the button widget, paints the overlays
};

// Hosts a widget over the control's rectangle, following its position, size and visibility. A
// widget without a parent is embedded in the control's widget; a window of its own is moved
// over the control's screen rectangle. An embedded widget is deleted with the control unless
// detached first. The application attaches nothing.
class CWndUI : public ui::CControlUI {
  public:
    ~CWndUI() override;
    std::string GetClass() const override;  // "Wnd"
    // Hosts `hosted` (replacing one hosted before); false for nullptr.
    bool Attach(QWidget* hosted);
    // Stops hosting and hands the widget back (hidden, without a parent if it was a child).
    QWidget* Detach();
    QWidget* GetHosted() const { return hosted_; }
    void SetVisible(bool visible) override;

  protected:
    QWidget* CreateWidget() override;

  private:
    void Sync();
    QPointer<QWidget> hosted_;
    QPointer<QObject> watcher_;  // owned by the control's widget
};

class CChartViewUI : public ui::CControlUI {
  public:
    struct Item {
        std::string name;
        double value = 0;
    };
    ~CChartViewUI() override;
    AttrStatus SetAttribute(const std::string& name, const std::string& value) override;
    int GetViewType() const { return viewType_; }
    const std::string& GetShadowImage() const { return shadowImage_; }
    int GetShadowImageHeight() const { return shadowImageHeight_; }
    const std::string& GetPillarImage() const { return pillarImage_; }
    int GetPillarImageWidth() const { return pillarImageWidth_; }
    bool GetShowHtml() const { return showHtml_; }
    bool GetShowText() const { return showText_; }
    int GetFont() const { return font_; }
    const std::vector<Item>& GetItems() const { return items_; }
    // The control's background, then the view; a shadow image that cannot be drawn is
    // forgotten.
    void Paint(QPainter& painter, const QRect& rect);

  protected:
    QWidget* CreateWidget() override;
    void UpdateStyle() override;

  private:
    std::vector<Item> items_;
    int viewType_ = 0;
    std::string shadowImage_;
    int shadowImageHeight_ = 0;
    std::string pillarImage_;
    int pillarImageWidth_ = 0;
    bool showHtml_ = false;
    bool showText_ = true;
    int font_ = -1;
};

// Registers the four classes with the control factory, in this order: "CCircleProgressUI",
// "CChartViewUI", "CWndUI", "CDeviceKeyButtonUI".
void RegisterCustomControls();

// Draws an image string ("file='x.svg' source='l,t,r,b'" or a bare path relative to the skin
// folder) stretched over `dest`. With `tint`, the image is multiplied by `color` (0x..RRGGBB)
// and drawn with opacity alpha / 255. False when the image cannot be loaded.
bool DrawImageString(QPainter& painter, const QRect& dest, const std::string& image,
                     DWORD color = 0, DWORD alpha = 255, bool tint = false);

}  // namespace gmd::app
