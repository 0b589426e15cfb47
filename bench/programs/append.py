a = []
for i in range(1000000):
    a.append(i)
assert a.index(999999) == 999999
