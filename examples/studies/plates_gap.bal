* Two 2 cm square plates of 10x10 spheres, ${gap} cm apart: a template for ambrel-batch --set or --study
* ambrel-batch --study gaps.csv --capacitances plates_gap.bal > plates_gap.csv
Qtop top 0 0 ${gap} 0 0 0 1 1
Qbottom bottom 0 0 0 0 0 0 1 1
.V top 50
.V bottom -50
