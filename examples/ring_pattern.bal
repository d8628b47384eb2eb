* A shape from a pattern: a flat ring of 15x15 cells; the charge gathers at its outer edge
* The .Z line takes the 15 comment lines below it as the cells of the Z object, "x" for a sphere.
* Shown coloured by charge density: red at the rim, less inside. Compare with a full plate:
* change the Z line's letter to G (a 10x10 plaque) and press Inicialize.
.Z
*.....xxxxx.....
*...xxxxxxxxx...
*..xxxxxxxxxxx..
*.xxxxxxxxxxxxx.
*.xxxxx...xxxxx.
*xxxxx.....xxxxx
*xxxx.......xxxx
*xxxx.......xxxx
*xxxx.......xxxx
*xxxxx.....xxxxx
*.xxxxx...xxxxx.
*.xxxxxxxxxxxxx.
*..xxxxxxxxxxx..
*...xxxxxxxxx...
*.....xxxxx.....
Zring ring 0 0 0 0 0 0 3 1
.V ring 1000
