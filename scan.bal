ball1 all 0 0 0 10 0 20 0.2 0.1
ball2 all 0 0 0 10 180 20 0.2 0.1
.V all 20000
