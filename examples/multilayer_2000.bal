* A multilayer capacitor of 2000 spheres: 20 stacked 10x10 plates, 5 mm apart, on two conductors
* Plates 4 cm square, alternately on conductors a (+100 V) and b (-100 V): 19 gaps in parallel.
* Large systems are computed on request: check Options > "Always calculate charges", then press
* Inicialize (a fraction of a second). "Capacitances" (the view's menu) gives C(a,b) = 60.8 pF:
* 19 gaps of the 2.83 pF that e0 A/d gives for one, and the fringing field. In ambrel-batch:
*   ambrel-batch --on always-calculate-charges --off show-charges --capacitances multilayer_2000.bal
Qplate1 a 0 0 -4.75 0 0 0 2 1
Qplate2 b 0 0 -4.25 0 0 0 2 1
Qplate3 a 0 0 -3.75 0 0 0 2 1
Qplate4 b 0 0 -3.25 0 0 0 2 1
Qplate5 a 0 0 -2.75 0 0 0 2 1
Qplate6 b 0 0 -2.25 0 0 0 2 1
Qplate7 a 0 0 -1.75 0 0 0 2 1
Qplate8 b 0 0 -1.25 0 0 0 2 1
Qplate9 a 0 0 -0.75 0 0 0 2 1
Qplate10 b 0 0 -0.25 0 0 0 2 1
Qplate11 a 0 0 0.25 0 0 0 2 1
Qplate12 b 0 0 0.75 0 0 0 2 1
Qplate13 a 0 0 1.25 0 0 0 2 1
Qplate14 b 0 0 1.75 0 0 0 2 1
Qplate15 a 0 0 2.25 0 0 0 2 1
Qplate16 b 0 0 2.75 0 0 0 2 1
Qplate17 a 0 0 3.25 0 0 0 2 1
Qplate18 b 0 0 3.75 0 0 0 2 1
Qplate19 a 0 0 4.25 0 0 0 2 1
Qplate20 b 0 0 4.75 0 0 0 2 1
.V a 100
.V b -100
