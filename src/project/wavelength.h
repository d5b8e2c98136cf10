// The wavelength calculator's arithmetic: frequency and free-space wavelength into each
// other, and the wavelength in a lossy material with the largest FDTD cell that resolves it
// by ten cells. Its constants are its own (3e8 m/s, 8.84e-12 F/m), not the solver's.
#pragma once
#include <optional>
#include <string>

namespace rv {

// 3e8 / the number in `text`, general format with 3 digits ("1850e6" -> "0.162");
// nothing when the text is not a number. A zero gives what the formatter writes for an
// infinite value.
std::optional<std::string> WaveFreqConvert(const std::string& text);

struct MaterialWave {
  std::string wavelength;  // metres, 4 digits
  std::string maxStep;     // wavelength / 10
};
// From the texts of the frequency (Hz), conductivity (S/m) and the relative permittivity
// and permeability; both "Ошибка в исходных данных" when one is not a number.
MaterialWave MaterialWavelength(const std::string& freq, const std::string& sigma,
                                const std::string& epsR, const std::string& muR);

}  // namespace rv
