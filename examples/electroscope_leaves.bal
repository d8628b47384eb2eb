* An electroscope whose leaves are two square plates hanging from the end of a charged rod
* The knob, the rod (a line of 20 small balls) and the leaves (5x5 plates of 1 cm, 0.02 g, on
* 5 cm strings) form one conductor at 8 kV. Press Calculate: the leaves spread to about 13
* degrees. Change the voltage (.V) and run again: the angle grows with the voltage.
Bknob scope 0 0 8 0 0 0 0.6 1
Lrod scope 0 0 4.5 0 0 0 3 1 0.12
Sleft scope -0.6 0 1.5 5 180 2 0.5 0.02
Sright scope 0.6 0 1.5 5 0 2 0.5 0.02
.V scope 8000
