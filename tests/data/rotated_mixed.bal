* Rotated composites, stacked plates and a free ball on three conductors
Ccube top -3 0 0 8 30 12 0.8 0.5
Iico top 3 1 0 9 -60 8 0.7 0.4 0.12
Tring side 0 -4 1 7 150 15 0.9 0.3
Hhang side 1 4 0 6 45 10 0.4 0.2 0.05 0.02
Lrod ground 5 -3 2 8 -20 5 1.2 0.2
Sup ground 0 0 -12 0 0 0 1.5 1
Fdown top 0 0 -12.4 0 0 0 1.5 1
Xshape side -6 5 -3 10 70 20 1 0.3
bfree ground -1 -1 -2 10 200 25 0.5 0.15
.V top 3000
.V side -2000
.V ground 0
