// When a section holds particles, and when its area says anything about their
// shape: the collision kernel and the derivatives both read these two tests.
//
// Numbers are per unit gas density (kg^-1). A run floors every live section at
// 1e-15 after each outer step; a physical population lies many decades above
// (the total is near 1e19). The integrator resolves a component only down to
// its absolute tolerance (1e-25 by default). Inside a step the area of a
// section that coagulation has emptied (about 1e-32 m^2/kg for a floor-level
// section of nanometre particles) is far below that: it wanders around zero
// with either sign. A sign test on N * A switched collisions and sintering of
// such a section on and off between evaluations, and a shape read from the
// ratio A / N of two unresolved numbers swung from compact spheres to
// thousands of tiny primaries; either way the Jacobian went stale at every
// evaluation and the integrator cut its steps (minutes instead of seconds for
// a strongly coagulating start).
//
// - A section holds particles when N > 1e-20: five decades below the floor and
//   five above the number's own noise. A section emptied by coagulation
//   crosses it once, while its number decays.
// - Its area decides the shape only when N > 1e-6: then a nanometre section's
//   area (N * 1e-17 m^2 and more) sits at least a hundred times above the
//   default tolerance. Below that the particles count as compact spheres of
//   the node volume, whatever the area reads, and sintering relaxes the area
//   towards theirs, a linear term with a fixed time.
// Both thresholds lie far below any population that carries weight in a
// number, volume or size distribution (25 decades below the total).
#pragma once

namespace velmora::pbe {

inline constexpr double kEmptySectionNumber = 1e-20;
inline constexpr double kShapeResolvedNumber = 1e-6;

inline bool holds_particles(double number) { return number > kEmptySectionNumber; }

// The area A of N particles is resolved well enough to give their shape.
inline bool area_gives_shape(double number, double area) { return number > kShapeResolvedNumber && area > 0; }

}  // namespace velmora::pbe
