* Composite objects hanging side by side on one conductor
Ccube all -3 0 0 10 0 0 1 2
Iico all 0 0 0 10 0 0 1 2
Ttor all 3 0 0 10 0 0 1 2
Hbal all 0 3 0 10 0 0 0.8 1 0.05 0.05
.V all 20000
