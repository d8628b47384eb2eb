* A parallel-plate capacitor: two 2 cm square plates of 10x10 spheres, 2 mm apart
* Use "Capacitances" (or ambrel-batch --capacitances) to see the capacitance between them:
* C(top,bottom) = 2.09 pF, where e0 A/d = 1.77 pF leaves out the field at the edges.
Qtop top 0 0 0.1 0 0 0 1 1
Qbottom bottom 0 0 -0.1 0 0 0 1 1
.V top 50
.V bottom -50
