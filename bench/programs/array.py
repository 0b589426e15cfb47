a = [0] * 1000000
for i in range(1000000):
    a[i] = i
s = 0
for i in range(1000000):
    s += a[i]
assert s == 499999500000
