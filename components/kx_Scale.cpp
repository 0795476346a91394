#include "components/kx_Scale.h"

#include <cmath>
#include <cwchar>
#include <memory>

#include "base/Error.h"
#include "base/SystemErrorText.h"
#include "base/UniqueHandle.h"
#include "ui/Control.h"

namespace swt {

Tkx_Scaler::TScaleClassMap* Tkx_Scaler::TScaleClasses = nullptr;

namespace {

std::unique_ptr<Tkx_ScalerWork>& WorkScalerSlot() {
    static std::unique_ptr<Tkx_ScalerWork> slot;
    return slot;
}

bool g_unitStarted = false;

// The scaling key, opened with full access and created when missing.
UniqueKey OpenScalingBase(LSTATUS& status) {
    UniqueKey key;
    status = ::RegCreateKeyExW(HKEY_CURRENT_USER, kScalingRegistryBase, 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
    return key;
}

std::wstring SystemMessage(LSTATUS status) {
    std::wstring s = SystemText(static_cast<DWORD>(status));
    return s.empty() ? L"Fehler " + std::to_wstring(status) : s;
}

[[noreturn]] void RaiseRegistryError(LSTATUS status) {
    throw Error(SystemMessage(status) + L"\r\r in Registrierung " + kScalingRegistryBase + kScalingRegistryKey + L"\\");
}

// Whole decimal number with an optional sign and surrounding blanks; false for anything else or
// a value that does not fit 32 bits.
bool ParsePercent(const std::wstring& text, int32_t& out) {
    size_t i = 0;
    while (i < text.size() && text[i] == L' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    const size_t digitsStart = i;
    long long v = 0;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
        v = v * 10 + (text[i] - L'0');
        if (v > 0x80000000LL) return false;
        ++i;
    }
    if (i == digitsStart) return false;
    while (i < text.size() && text[i] == L' ') ++i;
    if (i != text.size()) return false;
    if (negative) v = -v;
    if (v > INT32_MAX || v < INT32_MIN) return false;
    out = static_cast<int32_t>(v);
    return true;
}

}  // namespace

int32_t Tkx_Scaler::EffectivePercent() const {
    Tkx_ScalerWork* work = GetWorkScaler();
    if (work == this) return ScalePercent;
    const double p = work->ScalePercent / 100.0 * (ScalePercent / 100.0) * 100.0;
    return static_cast<int32_t>(std::nearbyint(p));  // default rounding: halves to even
}

Tkx_ScalerWork::Tkx_ScalerWork(bool fromScreen) {
    if (fromScreen) {
        // A screen whose resolution cannot be read keeps 100 %.
        WindowDc screen(nullptr);
        const int dpi = screen ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
        ScalePercent = dpi > 0 ? PercentFromDpi(dpi) : 100;
    } else {
        ScalePercent = 100;
        LoadFromRegistry();
    }
}

int32_t Tkx_ScalerWork::PercentFromDpi(int dpi) { return ::MulDiv(dpi, 100, 96); }

Tkx_Scaler* Tkx_ScalerWork::WorkScaler() { return GetWorkScaler(); }

int Tkx_ScalerWork::Scale(int value) const {
    const int p = EffectivePercent();
    return p == 100 ? value : ::MulDiv(value, p, 100);
}

int Tkx_ScalerWork::ScaleOwn(int value) const {
    return ScalePercent == 100 ? value : ::MulDiv(value, ScalePercent, 100);
}

int Tkx_ScalerWork::Unscale(int value) const {
    const int p = EffectivePercent();
    return p == 100 ? value : ::MulDiv(value, 100, p);
}

void Tkx_ScalerWork::RescaleControl(TControl& control) const { control.ChangeScale(EffectivePercent(), 100); }

void Tkx_ScalerWork::SetScalePercent(int32_t value) {
    if (typeid(*this) == typeid(Tkx_ScalerWork)) throw Error(kScalePercentOnlyInDescendants);
    ScalePercent = value;
}

void Tkx_ScalerWork::LoadFromRegistry() {
    LSTATUS status = ERROR_SUCCESS;
    UniqueKey base = OpenScalingBase(status);
    int32_t value = ScalePercent;
    if (status == ERROR_SUCCESS) {
        const std::wstring name = RegistryIdent();
        DWORD type = 0, size = 0;
        if (::RegGetValueW(base.get(), kScalingRegistryKey, name.c_str(), RRF_RT_REG_SZ, &type, nullptr, &size) ==
                ERROR_SUCCESS &&
            size >= sizeof(wchar_t) && size < 4096) {
            std::wstring text(size / sizeof(wchar_t), L'\0');
            if (::RegGetValueW(base.get(), kScalingRegistryKey, name.c_str(), RRF_RT_REG_SZ, &type, text.data(),
                               &size) == ERROR_SUCCESS) {
                text.resize(std::wcslen(text.c_str()));
                int32_t parsed = 0;
                if (ParsePercent(text, parsed)) value = parsed;
            }
        }
    }
    SetScalePercent(value);
}

void Tkx_ScalerWork::SaveToRegistry() {
    LSTATUS status = ERROR_SUCCESS;
    UniqueKey base = OpenScalingBase(status);
    if (status != ERROR_SUCCESS) RaiseRegistryError(status);
    UniqueKey sub;
    status = ::RegCreateKeyExW(base.get(), kScalingRegistryKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                               nullptr, sub.put(), nullptr);
    if (status != ERROR_SUCCESS) RaiseRegistryError(status);
    const std::wstring text = std::to_wstring(ScalePercent);
    const std::wstring name = RegistryIdent();
    status = ::RegSetValueExW(sub.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) RaiseRegistryError(status);
}

Tkx_ScalerWork* GetWorkScaler() {
    auto& slot = WorkScalerSlot();
    if (!slot) slot = std::make_unique<Tkx_ScalerWork>(true);
    return slot.get();
}

KxScaleUnit::KxScaleUnit() {
    if (g_unitStarted) return;
    g_unitStarted = true;
    owner_ = true;
    Tkx_Scaler::TScaleClasses = new Tkx_Scaler::TScaleClassMap{};
    WorkScalerSlot().reset();
}

KxScaleUnit::~KxScaleUnit() {
    if (!owner_) return;
    WorkScalerSlot().reset();
    delete Tkx_Scaler::TScaleClasses;
    Tkx_Scaler::TScaleClasses = nullptr;
    g_unitStarted = false;
}

}  // namespace swt
