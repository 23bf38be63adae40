#include "uikit/EdgeSystem.h"

#include <cmath>
#include <optional>

namespace keln::uikit {

void EdgeSystem::solve() {
  constexpr double kEpsilon = 1e-9;
  std::vector<std::size_t> unknowns;
  std::vector<std::optional<std::size_t>> column(known_.size());
  for (std::size_t variable = 0; variable < known_.size(); ++variable) {
    if (!known_[variable]) {
      column[variable] = unknowns.size();
      unknowns.push_back(variable);
    }
  }
  if (unknowns.empty()) return;

  struct Row {
    std::vector<double> coefficients;
    double constant;
  };
  std::vector<Row> pivotRows;
  std::vector<std::size_t> pivotColumns;
  for (const auto& equation : equations_) {
    Row row{std::vector<double>(unknowns.size(), 0), equation.constant};
    for (const auto& [variable, coefficient] : equation.terms) {
      if (known_[variable]) {
        row.constant -= coefficient * value_[variable];
      } else {
        row.coefficients[*column[variable]] += coefficient;
      }
    }
    for (std::size_t p = 0; p < pivotRows.size(); ++p) {
      double factor = row.coefficients[pivotColumns[p]];
      if (factor == 0) continue;
      for (std::size_t c = 0; c < unknowns.size(); ++c) row.coefficients[c] -= factor * pivotRows[p].coefficients[c];
      row.constant -= factor * pivotRows[p].constant;
    }
    std::size_t pivot = 0;
    for (std::size_t c = 1; c < unknowns.size(); ++c) {
      if (std::abs(row.coefficients[c]) > std::abs(row.coefficients[pivot])) pivot = c;
    }
    if (std::abs(row.coefficients[pivot]) < kEpsilon) continue;  // adds nothing new
    double scale = row.coefficients[pivot];
    for (double& coefficient : row.coefficients) coefficient /= scale;
    row.constant /= scale;
    row.coefficients[pivot] = 1;
    for (auto& earlier : pivotRows) {
      double factor = earlier.coefficients[pivot];
      if (factor == 0) continue;
      for (std::size_t c = 0; c < unknowns.size(); ++c) earlier.coefficients[c] -= factor * row.coefficients[c];
      earlier.constant -= factor * row.constant;
    }
    pivotRows.push_back(std::move(row));
    pivotColumns.push_back(pivot);
  }

  // A pivot variable is determined when its row names no free variable.
  std::vector<bool> isPivot(unknowns.size(), false);
  for (std::size_t c : pivotColumns) isPivot[c] = true;
  for (std::size_t p = 0; p < pivotRows.size(); ++p) {
    bool determined = true;
    for (std::size_t c = 0; c < unknowns.size() && determined; ++c) {
      if (!isPivot[c] && std::abs(pivotRows[p].coefficients[c]) >= kEpsilon) determined = false;
    }
    if (determined && std::isfinite(pivotRows[p].constant)) fix(unknowns[pivotColumns[p]], pivotRows[p].constant);
  }
}

}  // namespace keln::uikit
