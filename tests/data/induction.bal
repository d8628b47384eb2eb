* Induction: a ball held at 5 kV beside two touching pith balls that are isolated and neutral
* The pair carries no charge in all (.Q pair 0), yet the near ball takes a negative charge and
* the far one a positive charge: the pair is drawn toward the charged ball while its two balls
* push each other apart. The pair floats at the potential written after the capacitance.
Bsource held -5 0 -13.5 0 0 0 1 0.5
Bnear pair -0.75 0 0 13.5 0 0 0.75 0.4
Bfar pair 0.75 0 0 13.5 0 0 0.75 0.4
.V held 5000
.Q pair 0
