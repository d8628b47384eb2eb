* Composite and flat objects on three conductors: a capacitance-calculator example
Ccube top 0 0 5 10 0 0 1 8
Ssq plate 0 0 -8 0 0 0 1.5 1
Qsq plate2 0 0 -8.3 0 0 0 1.5 1
Rtr top 4 0 3 10 20 10 1 1
Hhb plate2 -4 0 3 10 0 15 0.6 0.5 0.1 0.19
ball top 0 4 3 10 90 20 0.5 0.3
.V top 1000
.V plate 0
.V plate2 -500
