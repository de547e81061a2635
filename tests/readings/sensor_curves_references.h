#pragma once

// The published sensor reference functions, evaluated here on their own so that the tests
// check the fitted curves against something other than the tool that fitted them.

#include <vector>

namespace kvtlnk::reference {

// sum(c[i] t^i) on [tMin, tMax], plus a0 exp(a1 (t - a2)^2) where a0 is not zero.
struct Piece {
    double tMin;
    double tMax;
    std::vector<double> c;
    double a0 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;
};
using Function = std::vector<Piece>;

// EMF in mV of a thermocouple type letter: NIST ITS-90 (and ASTM type C), NBS IPTS-68.
const Function& its90Thermocouple(char type);
const Function& ipts68Thermocouple(char type);  // B E J K N R S T
double evaluate(const Function& f, double t);

// t90 - t68 in kelvin as a function of t90, and its inverse use.
double t90MinusT68(double t90);
double t90FromT68(double t68);

// Callendar-Van Dusen resistance; C applies below 0 C only.
struct Cvd {
    double a;
    double b;
    double c;
};
constexpr Cvd kPt385Its90{3.9083e-3, -5.775e-7, -4.183e-12};
constexpr Cvd kPt385Ipts68{3.90802e-3, -5.80195e-7, -4.27350e-12};
constexpr Cvd kPt3926{3.9848e-3, -5.870e-7, -4.0e-12};
constexpr Cvd kPt3916Jis{3.9739e-3, -5.870e-7, -4.4e-12};
double cvd(const Cvd& k, double r0, double t);

}  // namespace kvtlnk::reference
