* Charge sharing: two pith balls on one isolated conductor that carries 20 nC
* The balls hang side by side from points 4 mm apart; the charge divides between them and they
* repel to the angle where the weight balances the force. Unlike a conductor held at a voltage,
* an isolated one keeps its charge: its potential (the "floats at" line) falls as the balls part.
ball1 pair -0.2 0 0 13.5 180 5 0.75 0.4
ball2 pair 0.2 0 0 13.5 0 5 0.75 0.4
.Q pair 20
