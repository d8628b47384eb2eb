* Four balls that stabilize separated by 1 cm
ball1 all  -0.2  0.2 0 13.5  135 30 0.75 0.4
ball2 all   0.2  0.2 0 13.5   45 30 0.75 0.4
ball3 all  -0.2 -0.2 0 13.5 -135 30 0.75 0.4
ball4 all   0.2 -0.2 0 13.5  -45 30 0.75 0.4
.V all 8.62512649e3
