// Display scaling: lengths designed at 96 pixels per inch converted for the screen. One
// process-wide work scaler takes its percentage from the screen when first asked for; further
// scalers (descendants) scale relative to it and may keep their own percentage in the registry.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <typeinfo>

namespace swt {

class TControl;
class Tkx_Scaler;

// {C15DCDE9-C159-4BF6-9BB0-21D6CAA7A0C1}
inline constexpr GUID IID_IVeltra_ScalerInterface = {
    0xC15DCDE9, 0xC159, 0x4BF6, {0x9B, 0xB0, 0x21, 0xD6, 0xCA, 0xA7, 0xA0, 0xC1}};

// What a scaler answers to anyone holding it through the interface: the process-wide work scaler.
class IVeltra_ScalerInterface {
public:
    virtual Tkx_Scaler* WorkScaler() = 0;

protected:
    ~IVeltra_ScalerInterface() = default;
};

class Tkx_Scaler : public IVeltra_ScalerInterface {
public:
    Tkx_Scaler() = default;
    virtual ~Tkx_Scaler() = default;
    Tkx_Scaler(const Tkx_Scaler&) = delete;
    Tkx_Scaler& operator=(const Tkx_Scaler&) = delete;

    // The scaler's own percentage; 100 means no scaling.
    int32_t ScalePercent = 100;

    virtual bool IsScaled() const = 0;
    // Stores the percentage without any test.
    virtual void SetPercent(int32_t value) { ScalePercent = value; }
    virtual void LoadFromRegistry() = 0;
    virtual void SaveToRegistry() = 0;
    Tkx_Scaler* WorkScaler() override = 0;
    virtual int Scale(int value) const = 0;
    virtual int ScaleOwn(int value) const = 0;
    virtual int Unscale(int value) const = 0;
    virtual void Refresh() = 0;
    virtual void RescaleControl(TControl& control) const = 0;

    // The work scaler's own percentage for the work scaler itself; for any other scaler
    // work% x own% / 100, rounded to the nearest whole number with halves to even. Creates the
    // work scaler on first use.
    int32_t EffectivePercent() const;

    // Registered scalers by class, with the class-wide percentage (the updater registers none).
    struct TScaleClassMap {
        std::map<const std::type_info*, Tkx_Scaler*> Classes;
        int32_t Percent = 100;
    };
    // Null outside the unit's start-up and shutdown.
    static TScaleClassMap* TScaleClasses;
};

class Tkx_ScalerWork : public Tkx_Scaler {
public:
    // fromScreen: the percentage from the screen's LOGPIXELSY (96 gives 100, 120 gives 125);
    // otherwise 100, then LoadFromRegistry.
    explicit Tkx_ScalerWork(bool fromScreen);

    bool IsScaled() const override { return EffectivePercent() != 100; }
    // Reads the stored percentage ("Software\Veltra Software\" + "Scaling", value RegistryIdent);
    // a missing or non-numeric value keeps the current one. Ends in SetScalePercent, so on a
    // Tkx_ScalerWork itself it raises the class-test error.
    void LoadFromRegistry() override;
    // Writes ScalePercent as decimal text; a failure raises swt::Error with the failing message
    // and the key path.
    void SaveToRegistry() override;
    Tkx_Scaler* WorkScaler() override;
    int Scale(int value) const override;
    int ScaleOwn(int value) const override;
    int Unscale(int value) const override;
    void Refresh() override {}
    // The control rescales itself by EffectivePercent over 100.
    void RescaleControl(TControl& control) const override;

    // Raises "ScalePercent darf nur in Ableitungen gesetzt werden" on a Tkx_ScalerWork itself;
    // descendants store the value.
    virtual void SetScalePercent(int32_t value);
    virtual std::wstring RegistryIdent() const { return L"{17DFC259-3EAB-48FB-9556-50F656EFDD8D}"; }

    // The percentage a screen of this many pixels per inch gets (MulDiv(dpi, 100, 96)).
    static int32_t PercentFromDpi(int dpi);
};

inline constexpr const wchar_t* kScalingRegistryBase = L"Software\\Veltra Software\\";
inline constexpr const wchar_t* kScalingRegistryKey = L"Scaling";
inline constexpr const wchar_t* kScalePercentOnlyInDescendants = L"ScalePercent darf nur in Ableitungen gesetzt werden";

// The process-wide work scaler, created from the screen on the first call.
Tkx_ScalerWork* GetWorkScaler();

// The unit's class-wide start-up (the class map, no work scaler yet) and its shutdown in reverse
// (the work scaler, then the class map). A program holds one for its whole run, made before the
// support library's start-up; a second guard in the same process does nothing.
class KxScaleUnit {
public:
    KxScaleUnit();
    ~KxScaleUnit();
    KxScaleUnit(const KxScaleUnit&) = delete;
    KxScaleUnit& operator=(const KxScaleUnit&) = delete;

private:
    bool owner_ = false;
};

}  // namespace swt
