* A free shape: a cross of 5x5 cells hanging under a charged ball
.X
*..x..
*..x..
*xxxxx
*..x..
*..x..
Xcross plate 0 0 0 8 0 0 1.5 1
Bball top 0 0 3 0 0 0 0.8 1
.V plate 0
.V top 10000
