#pragma once

// The layout solver: linear equations over the edges of views, solved for the edges they
// determine. Used by View to place its subviews from their constraints.

#include <cstddef>
#include <utility>
#include <vector>

namespace keln::uikit {

// The unknowns of one view in its superview's coordinates.
enum Edge { xMin = 0, xMax = 1, yMin = 2, yMax = 3 };

// A linear equation over edge variables: sum(coefficient * variable) = constant.
struct Equation {
  std::vector<std::pair<std::size_t, double>> terms;
  double constant = 0;
};

// A set of linear equations over edge variables, some of them known. solve() fixes every
// unknown that the equations determine, by Gauss-Jordan elimination taking the equations
// in the order they were added: an equation that adds nothing to the earlier ones (redundant
// or conflicting) is dropped, so conflicts never fail and the first equation met wins.
class EdgeSystem {
 public:
  explicit EdgeSystem(std::size_t variableCount) : value_(variableCount, 0), known_(variableCount, false) {}

  void fix(std::size_t variable, double value) {
    value_[variable] = value;
    known_[variable] = true;
  }
  bool isKnown(std::size_t variable) const { return known_[variable]; }
  double value(std::size_t variable) const { return value_[variable]; }
  void add(Equation equation) { equations_.push_back(std::move(equation)); }

  // Fixes every unknown that the equations added so far determine.
  void solve();

 private:
  std::vector<double> value_;
  std::vector<bool> known_;
  std::vector<Equation> equations_;
};

}  // namespace keln::uikit
