// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "data/form.hpp"

namespace accelspec {

/// The edit fields' texts as the window creates them, with '.' as the decimal point: the texts
/// a freshly started program works with until its configuration is loaded.
inline constexpr std::array<std::pair<Edit, std::string_view>, 10> kDefaultFieldTexts{{
    {Edit::Fbeg, "2"},
    {Edit::Fend, "30"},
    {Edit::DF, "0.5"},
    {Edit::Psi, "0.1"},
    {Edit::Tbeg, "0"},
    {Edit::Tend, "0"},
    {Edit::T, "20"},
    {Edit::ND, "5000"},
    {Edit::DT, "0.004"},
    {Edit::N, "0"},
}};

/// The caption beside each parameter field of the window.
inline constexpr std::array<std::pair<Edit, std::string_view>, 10> kFieldCaptions{{
    {Edit::Fbeg, "Начальная частота, Гц"},
    {Edit::Fend, "Конечная частота, Гц"},
    {Edit::DF, "Шаг по частоте, Гц"},
    {Edit::Psi, "Коэф. демпфирования"},
    {Edit::Tbeg, "Начальное время"},
    {Edit::Tend, "Конечное время"},
    {Edit::T, "Время воздействия"},
    {Edit::ND, "Количество данных"},
    {Edit::DT, "Шаг по времени"},
    {Edit::N, "Количество точек спектра"},
}};

/// The caption of field `edit` (see kFieldCaptions).
inline std::string_view fieldCaption(Edit edit) {
  for (const auto& [e, caption] : kFieldCaptions)
    if (e == edit) return caption;
  return {};
}

/// The creation-time text of `edit` as a field shows it: with `separator`, the user's decimal
/// separator, in place of the point, so that the field reads back what it shows.
inline std::string defaultFieldText(Edit edit, char separator) {
  for (const auto& [e, text] : kDefaultFieldTexts) {
    if (e != edit) continue;
    std::string out(text);
    std::replace(out.begin(), out.end(), '.', separator);
    return out;
  }
  return {};
}

}  // namespace accelspec
